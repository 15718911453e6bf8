"""Many pages at once against the real agent, each sending one job and waiting for its last event."""
import asyncio
import json
import time

import websockets

FINAL = {"completed", "failed", "uploaded", "shown", "opened"}


async def burst(url, request, pages):
    """Outcomes of `pages` pages that connect at once and each send `request` as a job of their own (its
    reportId numbered): the job's final state, "closed" or "refused"; and how long each refusal took."""
    refusals = []

    async def page(i):
        start, job_id = time.monotonic(), "burst-%d" % i
        try:
            ws = await websockets.connect(url, compression=None, open_timeout=300, ping_interval=None, max_size=None)
        except (OSError, websockets.InvalidHandshake, asyncio.TimeoutError):
            refusals.append(time.monotonic() - start)
            return "refused"
        try:
            await ws.send(json.dumps(dict(request, reportId="%s-%d" % (request["reportId"], i),
                                          verolux={"jobId": job_id})))
            async for text in ws:
                event = json.loads(text) if text.startswith("{") else {}
                if event.get("jobId") == job_id and event.get("state") in FINAL:
                    return event["state"]
            return "closed"
        except websockets.ConnectionClosed:
            return "closed"
        finally:
            await ws.close()

    outcomes = await asyncio.wait_for(asyncio.gather(*(page(i) for i in range(pages))), 900)
    return outcomes, refusals
