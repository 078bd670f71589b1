# Sourced by the shell tests that start the stand-in service in the background.
# poll_until SECONDS COMMAND...: runs COMMAND every 0.1 s until it succeeds
# (status 0) or SECONDS have passed (status 1).
poll_until() {
  local tries=$(($1 * 10)) && shift
  until "$@"; do
    ((--tries > 0)) || return 1
    sleep 0.1
  done
}
# wait_for_serving LOG [SECONDS]: until the service's log LOG says it serves
# its pipe (15 s at most); the log is printed when it does not.
wait_for_serving() {
  poll_until "${2:-15}" grep -q serving "$1" && return 0
  cat "$1"
  return 1
}
