# As the systemd_preun macro: the last removal stops and disables the service.
if [ "$1" -eq 0 ] && [ -x /usr/bin/systemctl ]; then
  systemctl --no-reload disable --now vrqmq.service >/dev/null 2>&1 || :
fi
