#!/usr/bin/python3
"""Sends one print request to a running agent, the way a web page does, and shows any reply.

    send-request.py --agent ws://127.0.0.1:28502 --backend http://127.0.0.1:8790 \
                    demo/requests/orders.json [--preview 2] [--report-id demo-orders]
"""
import argparse
import asyncio
import json
import os

import websockets


def build_request(path, backend, preview, report_id):
    request = json.load(open(path, encoding="utf-8"))
    name = request["repname"]
    request["preview"] = preview
    request["reporturl"] = f"{backend}/templates/{name}"
    request["reportAdd"] = f"{backend}/upload/pdf"
    request["reportId"] = report_id or os.path.splitext(name)[0]
    return request


async def send(agent, request, wait):
    async with websockets.connect(agent, max_size=None) as ws:
        await ws.send(json.dumps(request, ensure_ascii=False))
        try:
            # Only problems come back; silence means the agent took the request.
            print("agent replied:", await asyncio.wait_for(ws.recv(), wait))
        except asyncio.TimeoutError:
            pass


def main():
    p = argparse.ArgumentParser()
    p.add_argument("request")
    p.add_argument("--agent", default="ws://127.0.0.1:28502")
    p.add_argument("--backend", default="http://127.0.0.1:8790")
    p.add_argument("--preview", default="2")
    p.add_argument("--report-id")
    p.add_argument("--wait", type=float, default=2.0)
    a = p.parse_args()
    asyncio.run(send(a.agent, build_request(a.request, a.backend, a.preview, a.report_id), a.wait))


if __name__ == "__main__":
    main()
