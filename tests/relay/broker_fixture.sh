#!/usr/bin/env bash
# Starts and stops the MQTT broker the connection tests talk to: a real mosquitto on loopback
# with a plain listener and TLS listeners whose certificates are made here, fresh each run.
#   broker_fixture.sh start DIR   makes the certificates, starts the broker, writes DIR/broker.txt
#   broker_fixture.sh stop DIR    stops it
# broker.txt holds NAME=VALUE lines: the port of each listener, a port where nothing listens,
# and the test CA the test program trusts while it runs (as a path the Windows program opens).
set -euo pipefail

action=$1
dir=$2

stop_broker() {
  local file pid
  for file in "$dir"/*.pid; do
    [ -f "$file" ] || continue
    pid=$(cat "$file")
    rm -f "$file"
    kill "$pid" 2>/dev/null || continue
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || continue 2; sleep 0.1; done
    kill -9 "$pid" 2>/dev/null || true
  done
}

# A CA (its key and self-signed certificate) named $1.
make_ca() {
  openssl req -x509 -newkey rsa:2048 -nodes -keyout "$1.key" -out "$1.pem" -days 2 \
    -subj "/CN=Parvox test $(basename "$1")" \
    -addext basicConstraints=critical,CA:true -addext keyUsage=critical,keyCertSign,cRLSign \
    2>/dev/null
}

# A server certificate $1 for the names $2 (subjectAltName syntax), signed by CA $3, valid from
# $4 to $5 (YYYYMMDDHHMMSSZ): openssl ca is the one command that takes dates in the past.
make_server() {
  local name=$1 names=$2 ca=$3 from=$4 until=$5 db cn
  cn=${names#DNS:}
  openssl req -newkey rsa:2048 -nodes -keyout "$name.key" -out "$name.csr" \
    -subj "/CN=${cn%%,*}" 2>/dev/null
  db=$(mktemp -d "$dir/ca.XXXXXX")
  : >"$db/index.txt"
  cat >"$db/ca.cnf" <<CONF
[ca]
default_ca = test
[test]
database = $db/index.txt
serial = $db/serial
new_certs_dir = $db
default_md = sha256
policy = anything
copy_extensions = none
unique_subject = no
[anything]
commonName = supplied
[server]
basicConstraints = critical,CA:false
keyUsage = critical,digitalSignature,keyEncipherment
extendedKeyUsage = serverAuth
subjectAltName = $names
CONF
  openssl ca -batch -config "$db/ca.cnf" -extensions server -cert "$ca.pem" -keyfile "$ca.key" \
    -rand_serial -startdate "$from" -enddate "$until" -in "$name.csr" -out "$name.pem" \
    2>/dev/null >/dev/null
  rm -rf "$db" "$name.csr"
}

start_broker() {
  stop_broker
  rm -rf "$dir"
  mkdir -p "$dir"
  cd "$dir"

  local yesterday tomorrow longAgo notLongAgo
  yesterday=$(date -u -d '-1 day' +%Y%m%d%H%M%SZ)
  tomorrow=$(date -u -d '+1 day' +%Y%m%d%H%M%SZ)
  longAgo=$(date -u -d '-30 days' +%Y%m%d%H%M%SZ)
  notLongAgo=$(date -u -d '-2 days' +%Y%m%d%H%M%SZ)
  make_ca trusted
  make_ca stranger
  make_server good "DNS:localhost,IP:127.0.0.1" trusted "$yesterday" "$tomorrow"
  make_server unknown "DNS:localhost,IP:127.0.0.1" stranger "$yesterday" "$tomorrow"
  make_server elsewhere "DNS:elsewhere.example" trusted "$yesterday" "$tomorrow"
  make_server expired "DNS:localhost,IP:127.0.0.1" trusted "$longAgo" "$notLongAgo"

  # Free ports, taken together so that no two are the same.
  local ports
  read -r -a ports < <(python3 -c '
import socket
held = [socket.socket() for _ in range(7)]
for s in held: s.bind(("127.0.0.1", 0))
print(" ".join(str(s.getsockname()[1]) for s in held))')

  {
    echo "per_listener_settings false"
    echo "allow_anonymous true"
    echo "persistence false"
    echo "pid_file $dir/mosquitto.pid"
    echo "log_dest file $dir/mosquitto.log"
    echo "log_type all"
    echo "user $(id -un)"
    echo "listener ${ports[0]} 127.0.0.1"
    local i=1 cert
    for cert in good unknown elsewhere expired; do
      echo "listener ${ports[$i]} 127.0.0.1"
      echo "certfile $dir/$cert.pem"
      echo "keyfile $dir/$cert.key"
      i=$((i + 1))
    done
  } >mosquitto.conf
  mosquitto -c mosquitto.conf -d

  # A second broker with a good certificate on a TLS version too old to be safe: mosquitto
  # takes only a lowest version, so OpenSSL's configuration sets the highest.
  cat >old-tls.cnf <<CONF
openssl_conf = init
[init]
ssl_conf = ssl
[ssl]
system_default = old
[old]
MinProtocol = TLSv1.1
MaxProtocol = TLSv1.1
CipherString = DEFAULT@SECLEVEL=0
CONF
  {
    echo "allow_anonymous true"
    echo "persistence false"
    echo "pid_file $dir/mosquitto-old.pid"
    echo "log_dest file $dir/mosquitto-old.log"
    echo "user $(id -un)"
    echo "listener ${ports[6]} 127.0.0.1"
    echo "certfile $dir/good.pem"
    echo "keyfile $dir/good.key"
    echo "tls_version tlsv1.1"
  } >mosquitto-old.conf
  OPENSSL_CONF=$dir/old-tls.cnf mosquitto -c mosquitto-old.conf -d

  local port
  for port in "${ports[@]:0:5}" "${ports[6]}"; do
    for _ in $(seq 50); do
      (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && continue 2
      sleep 0.1
    done
    echo "mosquitto did not open port $port; its log:" >&2
    cat mosquitto.log >&2 || true
    exit 1
  done

  # The Windows program sees the host's root as drive Z: under Wine.
  cat >broker.txt <<TXT
plain=${ports[0]}
tls=${ports[1]}
untrusted=${ports[2]}
elsewhere=${ports[3]}
expired=${ports[4]}
closed=${ports[5]}
old=${ports[6]}
ca=Z:$dir/trusted.pem
TXT
}

case "$action" in
  start) start_broker ;;
  stop) stop_broker ;;
  *) echo "usage: $0 start|stop DIR" >&2; exit 2 ;;
esac
