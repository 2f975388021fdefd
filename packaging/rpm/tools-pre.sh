# vrq-tools: the service's system user (packaging/sysusers/vrqmq.conf), made before the
# files are laid down.
getent group vrqmq >/dev/null || groupadd -r vrqmq
getent passwd vrqmq >/dev/null || \
  useradd -r -g vrqmq -d / -s /usr/sbin/nologin -c "vrqmq probe" vrqmq
exit 0
