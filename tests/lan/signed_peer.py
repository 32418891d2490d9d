#!/usr/bin/env python3
"""A second implementation of Parvox's signed datagram (messages in version 3, receipts in
version 2), written from the README's
description alone with Python's `cryptography` package, so that the office test proves the
README is enough to talk to Parvox:
  signed_peer.py send ADDRESS PORT FROM TO COMPUTER TEXT
      sends one signed message from a new key and prints "receipt COMPUTER USER" once a receipt
      with a valid signature answers it (exit 0), or exits 1 after 5 s; the message expires a day
      after it was sent
  signed_peer.py urgent ADDRESS PORT FROM TO COMPUTER TEXT
      the same, with the options saying urgent and acknowledgement requested
  signed_peer.py shadow ADDRESS PORT FROM TO COMPUTER TEXT
      broadcasts the message unsigned (version 1), then the same From, To and Text signed by a
      new key (version 3), and exits 0
  signed_peer.py tampered FILE FROM TO COMPUTER TEXT
      writes to FILE the message signed by a new key (version 3), then with the case of its
      text's first letter changed, as a broker or anyone on the way could change it
  signed_peer.py answer PORT COMPUTER USER
      prints "ready", then waits for one signed message to PORT, checks its signature, prints
      "message FROM TO COMPUTER TEXT" and answers it with a signed receipt"""

import hashlib
import os
import socket
import struct
import sys
import time

from cryptography.exceptions import InvalidSignature
from cryptography.hazmat.primitives import hashes
from cryptography.hazmat.primitives.asymmetric import ec
from cryptography.hazmat.primitives.asymmetric.utils import (decode_dss_signature,
                                                             encode_dss_signature)
from cryptography.hazmat.primitives.serialization import Encoding, PublicFormat

MAGIC, MESSAGE, RECEIPT = b"PRVX", 1, 2
URGENT, ACKNOWLEDGEMENT_REQUESTED = 1, 2  # the option bits
RECEIPT_VERSION, MESSAGE_VERSION = 2, 3
LIFETIME = 24 * 3600


def sign(key, data):
    r, s = decode_dss_signature(key.sign(data, ec.ECDSA(hashes.SHA256())))
    return r.to_bytes(32, "big") + s.to_bytes(32, "big")


def verify(point, data, signature):
    try:
        public = ec.EllipticCurvePublicKey.from_encoded_point(ec.SECP256R1(), point)
        der = encode_dss_signature(int.from_bytes(signature[:32], "big"),
                                   int.from_bytes(signature[32:], "big"))
        public.verify(der, data, ec.ECDSA(hashes.SHA256()))
        return True
    except (InvalidSignature, ValueError):
        return False


def public_point(key):
    return key.public_key().public_bytes(Encoding.X962, PublicFormat.UncompressedPoint)


def header(kind, message_id, options=0):
    """A receipt's header (version 2), or a message's (version 3: with its expiry and options)."""
    now = int(time.time())
    if kind == RECEIPT:
        return MAGIC + bytes([RECEIPT_VERSION, kind]) + struct.pack("!QQ", message_id, now)
    return (MAGIC + bytes([MESSAGE_VERSION, kind]) +
            struct.pack("!QQQI", message_id, now, now + LIFETIME, options))


def fields(*texts):
    return b"".join(text.encode("utf-8") + b"\0" for text in texts)


def parse(datagram, kind, count, skip):
    """The id, the key and the texts of a well-formed datagram of `kind`, or None. `skip` is
    what lies between the time sent and the key."""
    version = RECEIPT_VERSION if kind == RECEIPT else MESSAGE_VERSION
    if len(datagram) < 22 + skip + 65 + 64 or datagram[:6] != MAGIC + bytes([version, kind]):
        return None
    message_id = struct.unpack("!Q", datagram[6:14])[0]
    point = datagram[22 + skip:22 + skip + 65]
    texts = datagram[22 + skip + 65:-64].split(b"\0")
    if len(texts) != count + 1 or texts[-1] != b"":
        return None
    if not verify(point, datagram[:-64], datagram[-64:]):
        return None
    return message_id, datagram[22:22 + skip], [t.decode("utf-8") for t in texts[:-1]]


def new_key():
    return ec.generate_private_key(ec.SECP256R1())


def signed_message(key, message_id, sender, to, computer, text, options=0):
    body = (header(MESSAGE, message_id, options) + public_point(key) +
            fields(sender, to, computer, text))
    return body + sign(key, body)


def shadow(address, port, sender, to, computer, text):
    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)
    plain = (MAGIC + bytes([1, MESSAGE]) + os.urandom(8) +
             b"".join(t.encode("cp1252") + b"\0" for t in (sender, to, text)))
    sock.sendto(plain, (address, port))
    time.sleep(0.2)
    message_id = struct.unpack("!Q", os.urandom(8))[0] | 1
    sock.sendto(signed_message(new_key(), message_id, sender, to, computer, text),
                (address, port))
    return 0


def tampered(path, sender, to, computer, text):
    message_id = struct.unpack("!Q", os.urandom(8))[0] | 1
    datagram = bytearray(signed_message(new_key(), message_id, sender, to, computer, text))
    # Still well formed, so that only the signature can tell.
    at = datagram.rindex(text.encode("utf-8"), 0, len(datagram) - 64)
    datagram[at] ^= 0x20
    with open(path, "wb") as f:
        f.write(datagram)
    return 0


def send(address, port, sender, to, computer, text, options=0):
    key = new_key()
    message_id = struct.unpack("!Q", os.urandom(8))[0] | 1
    datagram = signed_message(key, message_id, sender, to, computer, text, options)
    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sock.settimeout(0.5)
    deadline = time.monotonic() + 5
    while time.monotonic() < deadline:
        sock.sendto(datagram, (address, port))
        try:
            reply, _ = sock.recvfrom(65535)
        except socket.timeout:
            continue
        receipt = parse(reply, RECEIPT, 2, 32)
        if receipt and receipt[0] == message_id and \
                receipt[1] == hashlib.sha256(datagram).digest():
            print("receipt", *receipt[2], flush=True)
            return 0
    return 1


def answer(port, computer, user):
    key = new_key()
    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sock.bind(("0.0.0.0", port))
    print("ready", flush=True)
    while True:
        datagram, source = sock.recvfrom(65535)
        message = parse(datagram, MESSAGE, 4, 12)
        if message is None:
            continue
        print("message", *message[2], flush=True)
        body = (header(RECEIPT, message[0]) + hashlib.sha256(datagram).digest() +
                public_point(key) + fields(computer, user))
        sock.sendto(body + sign(key, body), source)
        return 0


if __name__ == "__main__":
    if sys.argv[1] == "send":
        sys.exit(send(sys.argv[2], int(sys.argv[3]), *sys.argv[4:8]))
    if sys.argv[1] == "urgent":
        sys.exit(send(sys.argv[2], int(sys.argv[3]), *sys.argv[4:8],
                      URGENT | ACKNOWLEDGEMENT_REQUESTED))
    if sys.argv[1] == "tampered":
        sys.exit(tampered(*sys.argv[2:7]))
    if sys.argv[1] == "shadow":
        sys.exit(shadow(sys.argv[2], int(sys.argv[3]), *sys.argv[4:8]))
    sys.exit(answer(int(sys.argv[2]), sys.argv[3], sys.argv[4]))
