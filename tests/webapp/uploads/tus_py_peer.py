"""tuspy as an independent resumable-upload client.

    tus_py_peer.py upload <endpoint> <file> <piece bytes> <url store> <key>
        uploads the file in pieces, keeping the upload URL in a tuspy file
        store so that a later run resumes it.
    tus_py_peer.py terminate <upload url> <key>
"""
import os
import sys

import requests
from tusclient import client
from tusclient.storage import filestorage


def main():
    mode = sys.argv[1]
    if mode == "upload":
        endpoint, path, piece, store, key = sys.argv[2:7]
        tus = client.TusClient(endpoint, headers={"x-veltocorvane": "1", "Cookie": "vcu=" + key})
        uploader = tus.uploader(
            path,
            chunk_size=int(piece),
            metadata={"share": "share", "path": "in", "filename": os.path.basename(path)},
            store_url=True,
            url_storage=filestorage.FileStorage(store),
        )
        print("url", uploader.url, "offset", uploader.offset, flush=True)
        while uploader.offset < uploader.stop_at:
            uploader.upload_chunk()
            print("piece", uploader.offset, flush=True)
        print("done", flush=True)
    elif mode == "terminate":
        url, key = sys.argv[2:4]
        reply = requests.delete(url, headers={"Tus-Resumable": "1.0.0", "x-veltocorvane": "1",
                                              "Cookie": "vcu=" + key})
        print("terminated", reply.status_code, flush=True)
        sys.exit(0 if reply.status_code == 204 else 1)
    else:
        sys.exit(2)


if __name__ == "__main__":
    main()
