"""What the office test does on a computer's wire besides running Parvox, started inside that
computer's network namespace:
  wire.py capture IFACE PORT     prints "SOURCE DESTINATION" for each UDP datagram to PORT
                                 that IFACE receives, until it is ended
  wire.py flood ADDRESS PORT N   sends N version-1 messages to ADDRESS:PORT as fast as it can"""

import os
import socket
import struct
import sys

ETH_P_IP = 0x0800


def capture(interface, port):
    # Cooked packets: the IPv4 header comes first, whatever the link.
    sock = socket.socket(socket.AF_PACKET, socket.SOCK_DGRAM, socket.htons(ETH_P_IP))
    sock.bind((interface, ETH_P_IP))
    print("ready", flush=True)
    while True:
        packet, (_, _, packet_type, _, _) = sock.recvfrom(65535)
        if packet_type == socket.PACKET_OUTGOING or len(packet) < 28 or packet[9] != 17:
            continue
        header = (packet[0] & 0x0F) * 4
        destination_port = struct.unpack("!H", packet[header + 2:header + 4])[0]
        if destination_port == port:
            print(socket.inet_ntoa(packet[12:16]), socket.inet_ntoa(packet[16:20]), flush=True)


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
    else:
        flood(sys.argv[2], int(sys.argv[3]), int(sys.argv[4]))
