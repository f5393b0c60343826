// Big files in Debian's chromium against the real server: they go through
// resumable uploads in pieces, survive connections cut by a server killed
// and started again, continue after a reload when the same file
// is chosen again, and cancelling removes what arrived. Uploads are slowed
// with the browser's own network throttling so that each step has time.

import assert from 'node:assert/strict';
import crypto from 'node:crypto';
import fs from 'node:fs';
import path from 'node:path';
import { after, before, describe, test } from 'node:test';

import { launchBrowser, openPage, Server, settled, share, tempRoot } from './support/harness.mjs';

const MIB = 1024 * 1024;
const WAIT_MS = 90000;

let browser;
let server;
let box;
let scratch;

before(async () => {
  browser = await launchBrowser('uploads');
  const trees = tempRoot('uploads-tree');
  box = path.join(trees, 'box');
  scratch = path.join(trees, 'scratch');
  fs.mkdirSync(box);
  fs.mkdirSync(scratch);
  server = await Server.start('uploads', { shares: [share('box', box, { guest: ['read', 'write', 'delete'] })] });
});

after(async () => {
  await browser?.close();
  await server?.stop();
  if (box) fs.rmSync(path.dirname(box), { recursive: true, force: true });
});

function folderFor(name) {
  const folder = path.join(box, name);
  fs.mkdirSync(folder);
  return folder;
}

function bigFile(name, mib) {
  const file = path.join(scratch, name);
  fs.writeFileSync(file, crypto.randomBytes(mib * MIB + 777));
  return file;
}

function partialBytes(folder) {
  let bytes = 0;
  for (const name of fs.readdirSync(folder)) {
    if (name.startsWith('.vcsupload-')) bytes += fs.statSync(path.join(folder, name)).size;
  }
  return bytes;
}

async function until(check, what) {
  const deadline = Date.now() + WAIT_MS;
  while (!check()) {
    if (Date.now() > deadline) throw new Error(`timed out waiting for ${what}`);
    await new Promise((resolve) => setTimeout(resolve, 20));
  }
}

async function throttle(page, bytesPerSecond) {
  const cdp = await page.context().newCDPSession(page);
  await cdp.send('Network.enable');
  await cdp.send('Network.emulateNetworkConditions', {
    offline: false, latency: 0, downloadThroughput: -1, uploadThroughput: bytesPerSecond,
  });
}

// The resumable-upload requests the page sends, in order.
function recordUploads(page) {
  const log = [];
  page.on('request', (request) => {
    if (new URL(request.url()).pathname.startsWith('/api/uploads/')) {
      log.push({ method: request.method(), offset: request.headers()['upload-offset'] });
    }
  });
  return log;
}

// Every text the rows' states showed.
async function watchStates(page) {
  await page.evaluate(() => {
    window.seenStates = new Set();
    new MutationObserver(() => {
      for (const node of document.querySelectorAll('#uploadList .upload-state')) window.seenStates.add(node.textContent);
    }).observe(document.getElementById('uploadList'), { subtree: true, characterData: true, childList: true });
  });
}

async function waitForUploadTitle(page, text) {
  await page.waitForFunction((expected) => document.getElementById('uploadTitle').textContent === expected, text, { timeout: WAIT_MS });
}

function sameBytes(a, b) {
  return fs.readFileSync(a).equals(fs.readFileSync(b));
}

function storedUploads(page) {
  return page.evaluate(() => Object.keys(localStorage).filter((key) => key.startsWith('vc-upload:')).length);
}

describe('resumable uploads', () => {
  test('a big file arrives whole though the server is killed twice in the middle', async () => {
    const folder = folderFor('cut');
    const file = bigFile('video.bin', 24);
    const page = await openPage(browser, server, { hash: '#/box/cut' });
    await settled(page);
    const log = recordUploads(page);
    await watchStates(page);
    await throttle(page, 16 * MIB);
    await page.setInputFiles('#fileInput', file);
    // The server dies in the middle of the piece, twice.
    await until(() => partialBytes(folder) > 4 * MIB, 'the first bytes');
    await server.killAndRestart();
    await until(() => partialBytes(folder) > 12 * MIB, 'bytes of the second try');
    await server.killAndRestart();
    await waitForUploadTitle(page, 'Upload finished (1/1)');

    assert.ok(sameBytes(file, path.join(folder, 'video.bin')));
    assert.deepEqual(fs.readdirSync(folder), ['video.bin']);
    const states = await page.evaluate(() => [...window.seenStates]);
    assert.ok(states.includes('Reconnecting…'), states.join(' | '));
    // Each try went on from what the server had kept, never from the start.
    const offsets = log.filter((entry) => entry.method === 'PATCH').map((entry) => Number(entry.offset));
    assert.ok(offsets.length >= 3, JSON.stringify(log));
    assert.equal(offsets[0], 0);
    for (let i = 1; i < offsets.length; i++) assert.ok(offsets[i] > offsets[i - 1], JSON.stringify(log));
    assert.equal(log.filter((entry) => entry.method === 'POST').length, 1);
    assert.equal(await storedUploads(page), 0);
    assert.deepEqual(page.pageErrors, []);
    await page.context().close();
  });

  test('after a reload, choosing the same file again continues it', async () => {
    const folder = folderFor('reload');
    const file = bigFile('film.bin', 20);
    const page = await openPage(browser, server, { hash: '#/box/reload' });
    await settled(page);
    await throttle(page, 8 * MIB);
    await page.setInputFiles('#fileInput', file);
    await until(() => partialBytes(folder) > 6 * MIB, 'the first bytes');
    await page.reload();
    await settled(page);
    assert.equal(await storedUploads(page), 1);
    const log = recordUploads(page);
    await page.setInputFiles('#fileInput', file);
    await page.waitForFunction(() => /resuming where it stopped/.test(document.getElementById('toast').textContent), null, { timeout: WAIT_MS });
    await waitForUploadTitle(page, 'Upload finished (1/1)');

    assert.ok(sameBytes(file, path.join(folder, 'film.bin')));
    assert.deepEqual(fs.readdirSync(folder), ['film.bin']);
    assert.equal(log[0].method, 'HEAD');
    assert.equal(log.filter((entry) => entry.method === 'POST').length, 0);
    const first = log.find((entry) => entry.method === 'PATCH');
    assert.ok(Number(first.offset) > 6 * MIB, JSON.stringify(log));
    assert.equal(await storedUploads(page), 0);
    await page.context().close();
  });

  test('cancelling removes what arrived', async () => {
    const folder = folderFor('cancel');
    const file = bigFile('clip.bin', 24);
    const page = await openPage(browser, server, { hash: '#/box/cancel' });
    await settled(page);
    const log = recordUploads(page);
    await throttle(page, 4 * MIB);
    await page.setInputFiles('#fileInput', file);
    await until(() => partialBytes(folder) > 2 * MIB, 'the first bytes');
    await page.click('#uploadList button[data-upload]');
    await page.waitForFunction(() => document.querySelector('#uploadList .upload-state').textContent === 'Cancelled');
    await until(() => fs.readdirSync(folder).length === 0, 'the partial file to go');
    assert.ok(log.some((entry) => entry.method === 'DELETE'), JSON.stringify(log));
    assert.equal(await storedUploads(page), 0);
    await page.context().close();
  });
});
