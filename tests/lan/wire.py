"""What the office test does on a computer's wire besides running Parvox, started inside that
computer's network namespace:
  wire.py capture IFACE PORT     prints "SOURCE DESTINATION" for each UDP datagram to PORT
                                 that IFACE receives, until it is ended
  wire.py flood ADDRESS PORT N   sends N version-1 messages to ADDRESS:PORT as fast as it can
  wire.py receipts IFACE PORT N  waits for the first message to PORT that IFACE receives and
                                 answers its sender with N receipts signed by a key of its own,
                                 in invented names and in the names of PCB's and PCC's users
                                 (needs the `cryptography` package, as signed_peer.py does)"""

import os
import socket
import struct
import sys

ETH_P_IP = 0x0800


def capture(interface, port):
    sock = listen(interface)
    for source, _, destination, destination_port, _ in udp_packets(sock):
        if destination_port == port:
            print(source, destination, flush=True)


def listen(interface):
    # Cooked packets: the IPv4 header comes first, whatever the link.
    sock = socket.socket(socket.AF_PACKET, socket.SOCK_DGRAM, socket.htons(ETH_P_IP))
    sock.bind((interface, ETH_P_IP))
    print("ready", flush=True)
    return sock


def udp_packets(sock):
    """(source, source port, destination, destination port, payload) of each UDP datagram
    received."""
    while True:
        packet, (_, _, packet_type, _, _) = sock.recvfrom(65535)
        if packet_type == socket.PACKET_OUTGOING or len(packet) < 28 or packet[9] != 17:
            continue
        header = (packet[0] & 0x0F) * 4
        source_port, destination_port = struct.unpack("!HH", packet[header:header + 4])
        yield (socket.inet_ntoa(packet[12:16]), source_port, socket.inet_ntoa(packet[16:20]),
               destination_port, packet[header + 8:])


def forge_receipts(interface, port, count):
    sock = listen(interface)
    for source, source_port, _, destination_port, payload in udp_packets(sock):
        # A message of any version: the id sits in the same place.
        if (destination_port == port and payload[:4] == b"PRVX" and len(payload) >= 14 and
                payload[4] in (1, 2, 3) and payload[5] == 1):
            break
    import hashlib
    from signed_peer import RECEIPT, fields, header, new_key, public_point, sign
    key = new_key()
    message_id = struct.unpack("!Q", payload[6:14])[0]
    prefix = header(RECEIPT, message_id) + hashlib.sha256(payload).digest() + public_point(key)
    names = [("PCB", "bob"), ("PCC", "carol")] + [(f"FORGED{n}", "eve") for n in range(1000)]
    receipts = []
    for computer, user in names:
        body = prefix + fields(computer, user)
        receipts.append(body + sign(key, body))
    out = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    for number in range(count):
        try:
            out.sendto(receipts[number % len(receipts)], (source, source_port))
        except OSError:
            pass
    print("sent", flush=True)


def flood(address, port, count):
    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    for _ in range(count):
        message_id = struct.unpack("!Q", os.urandom(8))[0] | 1
        datagram = b"PRVX\x01\x01" + struct.pack("!Q", message_id) + b"flood\0*\0Flood\0"
        try:
            sock.sendto(datagram, (address, port))
        except OSError:  # a full send buffer: the next one goes
            pass


if __name__ == "__main__":
    if sys.argv[1] == "capture":
        capture(sys.argv[2], int(sys.argv[3]))
    elif sys.argv[1] == "receipts":
        forge_receipts(sys.argv[2], int(sys.argv[3]), int(sys.argv[4]))
    else:
        flood(sys.argv[2], int(sys.argv[3]), int(sys.argv[4]))
