// tus-js-client in Node as an independent resumable-upload client.
//
//   node tus_js_peer.mjs upload <endpoint> <file> <piece bytes> <url file> <key>
//     uploads the file in pieces; the upload URL is written to <url file> as
//     soon as it is known, and an upload URL already in it is resumed.
//   node tus_js_peer.mjs terminate <upload url> <key>
import fs from 'node:fs';
import * as tus from 'tus-js-client';

const [mode, ...args] = process.argv.slice(2);

function headers(key) {
  return { 'x-veltocorvane': '1', Cookie: `vcu=${key}` };
}

if (mode === 'upload') {
  const [endpoint, file, piece, urlFile, key] = args;
  const size = fs.statSync(file).size;
  const saved = fs.existsSync(urlFile) ? fs.readFileSync(urlFile, 'utf8').trim() : '';
  const name = file.split('/').pop();
  await new Promise((resolve, reject) => {
    const upload = new tus.Upload(fs.createReadStream(file), {
      endpoint,
      uploadUrl: saved || null,
      uploadSize: size,
      chunkSize: Number(piece),
      headers: headers(key),
      metadata: { share: 'share', path: 'in', filename: name, filetype: 'application/octet-stream' },
      retryDelays: [],
      onUploadUrlAvailable() {
        fs.writeFileSync(urlFile, upload.url);
      },
      onChunkComplete(_chunk, sent) {
        process.stdout.write(`piece ${sent}\n`);
      },
      onError: reject,
      onSuccess: resolve,
    });
    if (saved) process.stdout.write(`resuming ${saved}\n`);
    upload.start();
  });
  process.stdout.write('done\n');
} else if (mode === 'terminate') {
  const [url, key] = args;
  await tus.Upload.terminate(url, { headers: headers(key), retryDelays: [] });
  process.stdout.write('terminated\n');
} else {
  process.stderr.write('usage: tus_js_peer.mjs upload|terminate ...\n');
  process.exit(2);
}
