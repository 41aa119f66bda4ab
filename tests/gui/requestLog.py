#!/usr/bin/env python3
"""The service's front door for the GUI layer: listens on 127.0.0.1:LISTEN, hands every connection
on to the real service at 127.0.0.1:TARGET unchanged, and appends the request line of each HTTP
request to LOG, so a test can see what the service received. Loopback only.

Usage: requestLog.py LISTEN TARGET LOG   (prints "ready" once it listens)
"""
import socket
import sys
import threading


def pump(source, sink, on_bytes=None):
    try:
        while True:
            data = source.recv(65536)
            if not data:
                break
            if on_bytes:
                on_bytes(data)
            sink.sendall(data)
    except OSError:
        pass
    finally:
        for s in (sink, source):
            try:
                s.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass


def serve(client, target, log, lock):
    upstream = socket.create_connection(("127.0.0.1", target))
    pending = bytearray()

    def note(data):
        # Requests without a body (GET) follow each other on a kept-alive connection.
        pending.extend(data)
        while b"\r\n\r\n" in pending:
            head, _, rest = bytes(pending).partition(b"\r\n\r\n")
            pending[:] = rest
            with lock, open(log, "ab") as out:
                out.write(head.split(b"\r\n", 1)[0] + b"\n")

    back = threading.Thread(target=pump, args=(upstream, client), daemon=True)
    back.start()
    pump(client, upstream, note)
    back.join()
    client.close()
    upstream.close()


def main():
    listen, target, log = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
    server = socket.socket()
    server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    try:
        server.bind(("127.0.0.1", listen))
    except OSError as error:
        print(f"requestLog: cannot listen on 127.0.0.1:{listen}: {error}", flush=True)
        sys.exit(1)
    server.listen(16)
    print("ready", flush=True)
    lock = threading.Lock()
    while True:
        client, _ = server.accept()
        threading.Thread(target=serve, args=(client, target, log, lock), daemon=True).start()


if __name__ == "__main__":
    main()
