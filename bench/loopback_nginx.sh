# Sourced by the bench scripts that serve files from a private nginx on
# 127.0.0.1: a free port, the configuration every such server shares, and
# its start. The caller keeps $pid to stop it (kill -QUIT).

# bench_scratch NAME: a scratch folder in $scratch, removed when the script
# exits, after the server in $pid (if any) has stopped.
bench_scratch() {
  PATH=$PATH:/usr/sbin
  scratch=$(mktemp -d -t "kestrix-$1.XXXXXX")
  pid=""
  trap end_bench_scratch EXIT
}
end_bench_scratch() {
  if [[ -n $pid ]]; then kill -QUIT "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi
  rm -rf "$scratch"
}

free_port() {
  python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'
}

# write_nginx_conf RUN HTTP: RUN/nginx.conf for a foreground server whose
# pid, logs and temporary files stay in RUN, with HTTP as the rest of its
# http block (types, logs, servers). Run as root, it serves as the caller's
# own user so that it can read the caller's files.
write_nginx_conf() {
  local run=$1 http=$2 user=""
  (( $(id -u) != 0 )) || user="user $(id -un) $(id -gn);"
  mkdir -p "$run/tmp"
  cat >"$run/nginx.conf" <<CONF
$user
daemon off;
worker_processes 1;
pid "$run/nginx.pid";
error_log "$run/error.log" warn;
events { worker_connections 1024; }
http {
  default_type application/octet-stream;
  client_body_temp_path "$run/tmp/c"; proxy_temp_path "$run/tmp/p";
  fastcgi_temp_path "$run/tmp/f"; uwsgi_temp_path "$run/tmp/u";
  scgi_temp_path "$run/tmp/s";
$http
}
CONF
}

# start_nginx RUN PORT: starts the server of RUN/nginx.conf, sets $pid and
# waits (up to 5 s) until PORT accepts connections.
start_nginx() {
  local run=$1 port=$2
  nginx -p "$run/" -c "$run/nginx.conf" -e "$run/error.log" &
  pid=$!
  for _ in $(seq 50); do (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && return 0; sleep 0.1; done
}
