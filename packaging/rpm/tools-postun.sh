# As the systemd_postun_with_restart macro: an upgrade restarts a running service.
if [ -x /usr/bin/systemctl ]; then
  systemctl daemon-reload >/dev/null 2>&1 || :
  if [ "$1" -ge 1 ]; then
    systemctl try-restart vrqmq.service >/dev/null 2>&1 || :
  fi
fi
