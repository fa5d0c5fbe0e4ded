#!/usr/bin/python3
"""A relay on a free loopback port that holds every piece of data for DELAY milliseconds in each
direction, as a server across a network does: for measuring what waits on round trips.

  delay-proxy.py TARGET_PORT DELAY_MS    prints its own port, then relays until killed"""
import asyncio
import sys


async def relay(reader, writer, delay):
    loop = asyncio.get_running_loop()
    queue = asyncio.Queue()

    async def send():
        while True:
            due, data = await queue.get()
            wait = due - loop.time()
            if wait > 0:
                await asyncio.sleep(wait)
            if not data:
                break
            writer.write(data)
            await writer.drain()
        writer.close()

    sending = asyncio.create_task(send())
    while True:
        try:
            data = await reader.read(65536)
        except ConnectionError:
            data = b""
        await queue.put((loop.time() + delay, data))
        if not data:
            break
    await sending


async def main():
    target, delay = int(sys.argv[1]), float(sys.argv[2]) / 1000

    async def connected(client_reader, client_writer):
        server_reader, server_writer = await asyncio.open_connection("127.0.0.1", target)
        await asyncio.gather(relay(client_reader, server_writer, delay), relay(server_reader, client_writer, delay),
                             return_exceptions=True)

    server = await asyncio.start_server(connected, "127.0.0.1", 0)
    print(server.sockets[0].getsockname()[1], flush=True)
    async with server:
        await server.serve_forever()


asyncio.run(main())
