# As the systemd_post macro: the unit follows the system's preset policy on first installation.
if [ "$1" -eq 1 ] && [ -x /usr/bin/systemctl ]; then
  systemctl --no-reload preset vrqmq.service >/dev/null 2>&1 || :
fi
