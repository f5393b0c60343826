"""Resumable uploads to the real server from two independent tus clients,
tuspy and tus-js-client: uploads in pieces, a client killed in the middle of
a piece and started again resumes, a terminated upload leaves nothing, and
every stored file is byte-identical to its source.

    tus_peers_test.py <share server> <node>
"""
import glob
import hashlib
import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest
import urllib.request

HERE = os.path.dirname(os.path.abspath(__file__))
SERVER, NODE = sys.argv[1], sys.argv[2]
PIECE = 16 << 20
SIZE = 56 << 20 | 12345
KEY = "5a5a5a5a5a5a5a5a5a5a5a5a5a5a5a5a"
WAIT_S = 60


def sha256(path):
    digest = hashlib.sha256()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 20), b""):
            digest.update(block)
    return digest.hexdigest()


class Peers(unittest.TestCase):
    def setUp(self):
        self.root = tempfile.mkdtemp(prefix="velto-tus-peers-")
        self.share = os.path.join(self.root, "share")
        self.state = os.path.join(self.root, "state")
        os.makedirs(os.path.join(self.share, "in"))
        self.server = subprocess.Popen([SERVER, self.share, self.state], stdout=subprocess.PIPE)
        port = int(self.server.stdout.readline())
        self.endpoint = "http://127.0.0.1:%d/api/uploads/" % port
        self.source = os.path.join(self.root, "video 한글.bin")
        with open(self.source, "wb") as f:
            f.write(os.urandom(SIZE))

    def tearDown(self):
        self.server.kill()
        self.server.wait()
        shutil.rmtree(self.root)

    def client(self, kind, *args):
        if kind == "py":
            command = ["/usr/bin/python3", os.path.join(HERE, "tus_py_peer.py")]
        else:
            command = [NODE, os.path.join(HERE, "tus_js_peer.mjs")]
        return subprocess.Popen(command + list(args), stdout=subprocess.PIPE, text=True)

    def upload_args(self, store):
        return ["upload", self.endpoint, self.source, str(PIECE), store, KEY]

    def partial_bytes(self):
        temps = glob.glob(os.path.join(self.share, "in", ".vcsupload-*"))
        return sum(os.path.getsize(t) for t in temps), temps

    def kill_in_piece(self, process, past):
        """SIGKILLs the client once the partial file holds more than `past` bytes."""
        deadline = time.monotonic() + WAIT_S
        while self.partial_bytes()[0] <= past:
            self.assertIsNone(process.poll(), "the client ended before it was killed")
            self.assertLess(time.monotonic(), deadline, "the upload did not get going")
            time.sleep(0.001)
        process.send_signal(signal.SIGKILL)
        process.wait()

    def head(self, url):
        request = urllib.request.Request(url, method="HEAD",
                                         headers={"Tus-Resumable": "1.0.0", "Cookie": "vcu=" + KEY})
        try:
            with urllib.request.urlopen(request) as reply:
                return reply.status, int(reply.headers["Upload-Offset"])
        except urllib.error.HTTPError as error:
            return error.code, None

    def stored_url(self, kind, store):
        if kind == "js":
            with open(store) as f:
                return f.read().strip()
        with open(store) as f:
            return next(iter(json.load(f)["_default"].values()))["url"]

    def resume_after_kill(self, kind):
        store = os.path.join(self.root, "store-" + kind)
        first = self.client(kind, *self.upload_args(store))
        self.kill_in_piece(first, PIECE + (256 << 10))
        status, offset = self.head(self.stored_url(kind, store))
        self.assertEqual(status, 200)
        # The bytes of the broken second piece that arrived are kept (unless
        # the client managed to send the whole piece before it died).
        self.assertGreater(offset, PIECE)
        self.assertLess(offset, SIZE)
        print("%s killed at offset %d (%s)" % (kind, offset, "mid-piece" if offset % PIECE else "piece end"))

        second = self.client(kind, *self.upload_args(store))
        out, _ = second.communicate(timeout=WAIT_S)
        self.assertEqual(second.returncode, 0, out)
        self.assertIn("done", out)
        stored = os.path.join(self.share, "in", os.path.basename(self.source))
        self.assertEqual(sha256(stored), sha256(self.source))
        self.assertEqual(self.partial_bytes()[1], [])
        self.assertEqual(os.listdir(self.state), [])

    def terminate(self, kind):
        store = os.path.join(self.root, "store-" + kind)
        first = self.client(kind, *self.upload_args(store))
        self.kill_in_piece(first, 1 << 20)
        url = self.stored_url(kind, store)
        ended = self.client(kind, "terminate", url, KEY)
        out, _ = ended.communicate(timeout=WAIT_S)
        self.assertEqual(ended.returncode, 0, out)
        self.assertEqual(self.head(url), (404, None))
        self.assertEqual(self.partial_bytes()[1], [])
        self.assertEqual(os.listdir(os.path.join(self.share, "in")), [])
        self.assertEqual(os.listdir(self.state), [])

    def test_tuspy_resumes_after_being_killed(self):
        self.resume_after_kill("py")

    def test_tus_js_client_resumes_after_being_killed(self):
        self.resume_after_kill("js")

    def test_tuspy_terminates(self):
        self.terminate("py")

    def test_tus_js_client_terminates(self):
        self.terminate("js")


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
