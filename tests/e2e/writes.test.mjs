// The writing side of the web client in Debian's chromium against the real
// server: uploads of files, of a chosen folder and of a dropped folder tree,
// cancelling, new folder, rename, delete to the trash, and ZIP downloads.
// A test whose server route is missing skips with the reason.

import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { after, before, describe, test } from 'node:test';

import {
  launchBrowser, needRoutes, openPage, readZip, screenshot, Server, settled, share, tempRoot, writeTree,
} from './support/harness.mjs';

let browser;
let server;
let box; // the share's folder on disk
let scratch; // files the browser picks or drops

before(async () => {
  browser = await launchBrowser('writes');
  const trees = tempRoot('writes-tree');
  box = path.join(trees, 'box');
  scratch = path.join(trees, 'scratch');
  fs.mkdirSync(box);
  fs.mkdirSync(scratch);
  server = await Server.start('writes', { shares: [share('box', box, { guest: ['read', 'write', 'delete'] })] });
});

after(async () => {
  await browser?.close();
  await server?.stop();
  if (box) fs.rmSync(path.dirname(box), { recursive: true, force: true });
});

// A folder of its own inside the share for one test, filled from `tree`.
function folderFor(name, tree = {}) {
  const folder = path.join(box, name);
  fs.mkdirSync(folder);
  writeTree(folder, tree);
  return folder;
}

function visibleEntries(folder) {
  return fs.readdirSync(folder).filter((name) => !name.startsWith('.')).sort();
}

async function shownNames(page) {
  return page.locator('#content [data-index] a.name').allTextContents();
}

// Records the API and file requests the page sends, in order.
function recordRequests(page) {
  const log = [];
  page.on('request', (request) => {
    const url = new URL(request.url());
    if (url.pathname.startsWith('/api/') || request.method() === 'PUT') {
      log.push({ method: request.method(), path: decodeURIComponent(url.pathname), body: request.postData(), headers: request.headers() });
    }
  });
  return log;
}

async function selectRow(page, name) {
  await page.locator('#content .row', { has: page.locator(`a.name:text-is("${name}")`) }).locator('input.check').check();
}

async function waitForUploadTitle(page, text) {
  await page.waitForFunction((expected) => document.getElementById('uploadTitle').textContent === expected, text);
}

describe('upload', () => {
  test('several files: rows with progress, two at a time, then the folder shows them', async (t) => {
    if (!(await needRoutes(t, server, 'box', ['upload']))) return;
    const folder = folderFor('several');
    const page = await openPage(browser, server, { hash: '#/box/several' });
    const log = recordRequests(page);
    await settled(page);
    // The most rows running at once, watched from inside the page.
    await page.evaluate(() => {
      window.mostRunning = 0;
      new MutationObserver(() => {
        const running = document.querySelectorAll('#uploadList .upload-row.running').length;
        window.mostRunning = Math.max(window.mostRunning, running);
      }).observe(document.getElementById('uploadList'), { subtree: true, attributes: true, childList: true });
    });
    await settled(page);
    const files = ['one.txt', 'two.txt', 'three.txt', 'four.bin', '한글 이름.txt'].map((name, index) => ({
      name, mimeType: 'application/octet-stream', buffer: Buffer.alloc(200000 * (index + 1), 65 + index),
    }));
    await page.setInputFiles('#fileInput', files);
    await waitForUploadTitle(page, 'Upload finished (5/5)');
    assert.deepEqual(await page.locator('#uploadList .upload-name').allTextContents(), files.map((file) => file.name));
    assert.deepEqual(await page.locator('#uploadList .upload-state').allTextContents(), Array(5).fill('Done'));
    assert.deepEqual(await page.locator('#uploadList progress').evaluateAll((bars) => bars.map((bar) => bar.value)), Array(5).fill(100));
    assert.equal(await page.evaluate(() => window.mostRunning), 2);
    const puts = log.filter((entry) => entry.method === 'PUT');
    assert.deepEqual(puts.map((entry) => entry.path), files.map((file) => `/files/box/several/${file.name}`));
    for (const put of puts) assert.equal(put.headers['x-veltocorvane'], '1');
    for (const file of files) assert.ok(fs.readFileSync(path.join(folder, file.name)).equals(file.buffer));
    await page.waitForFunction(() => document.querySelectorAll('#content .row').length === 5);
    await screenshot(page, 'en-light-desktop-uploads');
    assert.equal(await page.isVisible('#uploadsCancel'), false);
    await page.click('#uploadsClose');
    assert.equal(await page.isVisible('#uploads'), false);
    await page.context().close();
  });

  test('a dropped folder tree: folders made first, shallower first, then every file', async (t) => {
    if (!(await needRoutes(t, server, 'box', ['upload', 'mkdir']))) return;
    const folder = folderFor('dropped');
    const source = path.join(scratch, 'drop');
    writeTree(source, { 'a/b/c.txt': 'deep', 'a/top.txt': 'top', 'a/empty': null, 'loose.txt': 'loose' });
    const page = await openPage(browser, server, { hash: '#/box/dropped' });
    const log = recordRequests(page);
    await settled(page);

    // A real drop of files from disk, as the desktop's file manager sends it.
    const cdp = await page.context().newCDPSession(page);
    const data = { items: [], files: [path.join(source, 'a'), path.join(source, 'loose.txt')], dragOperationsMask: 1 };
    for (const type of ['dragEnter', 'dragOver']) await cdp.send('Input.dispatchDragEvent', { type, x: 400, y: 300, data });
    assert.equal(await page.isVisible('#drop'), true);
    assert.equal(await page.textContent('#drop'), 'Drop here to upload to this folder');
    await cdp.send('Input.dispatchDragEvent', { type: 'drop', x: 400, y: 300, data });
    assert.equal(await page.isVisible('#drop'), false);

    await waitForUploadTitle(page, 'Upload finished (3/3)');
    const calls = log.filter((entry) => entry.path === '/api/mkdir' || entry.method === 'PUT');
    const firstPut = calls.findIndex((entry) => entry.method === 'PUT');
    const mkdirs = calls.slice(0, firstPut).map((entry) => JSON.parse(entry.body));
    assert.deepEqual(mkdirs.map((body) => body.path), ['dropped/a', 'dropped/a/b', 'dropped/a/empty']);
    for (const body of mkdirs) assert.deepEqual([body.share, body.parents], ['box', true]);
    assert.ok(calls.slice(firstPut).every((entry) => entry.method === 'PUT'));
    assert.deepEqual(calls.slice(firstPut).map((entry) => entry.path).sort(),
      ['/files/box/dropped/a/b/c.txt', '/files/box/dropped/a/top.txt', '/files/box/dropped/loose.txt']);
    assert.equal(fs.readFileSync(path.join(folder, 'a/b/c.txt'), 'utf8'), 'deep');
    assert.equal(fs.readFileSync(path.join(folder, 'a/top.txt'), 'utf8'), 'top');
    assert.equal(fs.readFileSync(path.join(folder, 'loose.txt'), 'utf8'), 'loose');
    assert.ok(fs.statSync(path.join(folder, 'a/empty')).isDirectory());
    await page.waitForFunction(() => document.querySelectorAll('#content .row').length === 2);
    assert.deepEqual(await shownNames(page), ['a', 'loose.txt']);
    await page.context().close();
  });

  test('a chosen folder keeps its structure', async (t) => {
    if (!(await needRoutes(t, server, 'box', ['upload', 'mkdir']))) return;
    const folder = folderFor('chosen');
    const source = path.join(scratch, 'album');
    writeTree(source, { 'one.txt': '1', 'inner/two.txt': '2' });
    const page = await openPage(browser, server, { hash: '#/box/chosen' });
    await settled(page);
    await page.setInputFiles('#folderInput', source);
    await waitForUploadTitle(page, 'Upload finished (2/2)');
    assert.deepEqual((await page.locator('#uploadList .upload-name').allTextContents()).sort(), ['album/inner/two.txt', 'album/one.txt']);
    assert.equal(fs.readFileSync(path.join(folder, 'album/inner/two.txt'), 'utf8'), '2');
    assert.equal(fs.readFileSync(path.join(folder, 'album/one.txt'), 'utf8'), '1');
    await page.context().close();
  });

  test('cancel all while two run and three wait: five cancelled, nothing left on disk', async (t) => {
    if (!(await needRoutes(t, server, 'box', ['upload']))) return;
    const folder = folderFor('cancelled');
    const page = await openPage(browser, server, { hash: '#/box/cancelled' });
    await settled(page);
    // A slow link keeps the first two uploads running.
    const cdp = await page.context().newCDPSession(page);
    await cdp.send('Network.enable');
    await cdp.send('Network.emulateNetworkConditions', { offline: false, latency: 0, downloadThroughput: -1, uploadThroughput: 64 * 1024 });
    const files = [1, 2, 3, 4, 5].map((n) => ({ name: `big${n}.bin`, mimeType: 'application/octet-stream', buffer: Buffer.alloc(4 * 1024 * 1024, n) }));
    await page.setInputFiles('#fileInput', files);
    await page.waitForFunction(() => document.querySelectorAll('#uploadList .upload-row.running').length === 2);
    assert.equal(await page.locator('#uploadList .upload-row.waiting').count(), 3);
    assert.equal(await page.textContent('#uploadTitle'), 'Uploading (0/5)');
    assert.equal(await page.isVisible('#uploadsClose'), false);
    await page.click('#uploadsCancel');
    await waitForUploadTitle(page, 'Uploads ended: 0 done, 0 failed, 5 cancelled');
    assert.deepEqual(await page.locator('#uploadList .upload-state').allTextContents(), Array(5).fill('Cancelled'));
    assert.equal(await page.isVisible('#uploadsClose'), true);
    await cdp.send('Network.emulateNetworkConditions', { offline: false, latency: 0, downloadThroughput: -1, uploadThroughput: -1 });
    // The server drops the partial files once it sees the connections end.
    const limit = Date.now() + 10000;
    while (fs.readdirSync(folder).length > 0 && Date.now() < limit) await new Promise((resolve) => setTimeout(resolve, 100));
    assert.deepEqual(fs.readdirSync(folder), []);
    await page.click('#uploadsClose');
    assert.equal(await page.locator('#uploadList li').count(), 0);
    await page.context().close();
  });

  test('cancelling one waiting file sends the others only', async (t) => {
    if (!(await needRoutes(t, server, 'box', ['upload']))) return;
    const folder = folderFor('one-cancelled');
    const page = await openPage(browser, server, { hash: '#/box/one-cancelled' });
    await settled(page);
    const cdp = await page.context().newCDPSession(page);
    await cdp.send('Network.enable');
    await cdp.send('Network.emulateNetworkConditions', { offline: false, latency: 0, downloadThroughput: -1, uploadThroughput: 256 * 1024 });
    const files = [1, 2, 3].map((n) => ({ name: `part${n}.bin`, mimeType: 'application/octet-stream', buffer: Buffer.alloc(256 * 1024, n) }));
    await page.setInputFiles('#fileInput', files);
    await page.locator('#uploadList .upload-row').nth(2).locator('button').click();
    await waitForUploadTitle(page, 'Uploads ended: 2 done, 0 failed, 1 cancelled');
    assert.deepEqual(visibleEntries(folder), ['part1.bin', 'part2.bin']);
    await page.context().close();
  });

  test('a file stored under a numbered name says the name it got', async (t) => {
    if (!(await needRoutes(t, server, 'box', ['upload']))) return;
    const folder = folderFor('numbered', { 'a.txt': 'first' });
    const page = await openPage(browser, server, { hash: '#/box/numbered' });
    await settled(page);
    await page.setInputFiles('#fileInput', [{ name: 'a.txt', mimeType: 'text/plain', buffer: Buffer.from('second') }]);
    await waitForUploadTitle(page, 'Upload finished (1/1)');
    assert.equal(await page.textContent('#uploadList .upload-state'), 'Done: saved as “a (2).txt”');
    assert.deepEqual(visibleEntries(folder), ['a (2).txt', 'a.txt']);
    await page.context().close();
  });
});

describe('file operations', () => {
  test('new folder: an empty name is refused here, a taken one by the server', async (t) => {
    if (!(await needRoutes(t, server, 'box', ['mkdir']))) return;
    const folder = folderFor('made', { taken: null });
    const page = await openPage(browser, server, { hash: '#/box/made' });
    const log = recordRequests(page);
    await settled(page);
    await page.click('#newFolderButton');
    assert.equal(await page.textContent('#dialogTitle'), 'New folder');
    assert.equal(await page.evaluate(() => document.activeElement.id), 'dialogName');
    // Names the server would refuse are refused here, saying what is wrong.
    for (const [name, problem] of [
      ['   ', 'Enter a name.'],
      ['a/b', 'A name cannot contain “/” or control characters.'],
      ['tab\there', 'A name cannot contain “/” or control characters.'],
      ['..', 'A name cannot be “.” or “..”.'],
      ['가'.repeat(86), 'The name is longer than 255 bytes.'],
    ]) {
      await page.fill('#dialogName', name);
      await page.click('#dialogOk');
      assert.equal(await page.textContent('#dialogError'), problem, name);
    }
    assert.equal(log.filter((entry) => entry.path === '/api/mkdir').length, 0);
    await page.fill('#dialogName', 'taken');
    await page.click('#dialogOk');
    await page.waitForFunction(() => document.getElementById('dialogError').textContent === 'An item with this name already exists.');
    assert.equal(await page.isVisible('#dialog'), true);
    await page.fill('#dialogName', '  Fresh ');
    await page.click('#dialogOk');
    await page.waitForSelector('#dialog', { state: 'hidden' });
    assert.equal(await page.textContent('#toast'), 'Folder created.');
    await page.waitForFunction(() => document.querySelectorAll('#content .row').length === 2);
    assert.deepEqual(await shownNames(page), ['Fresh', 'taken']);
    assert.ok(fs.statSync(path.join(folder, 'Fresh')).isDirectory());
    const body = JSON.parse(log.filter((entry) => entry.path === '/api/mkdir').at(-1).body);
    assert.deepEqual(body, { share: 'box', path: 'made/Fresh' });
    await page.context().close();
  });

  test('rename: the stem is selected, the same name sends nothing, a new one is kept selected', async (t) => {
    if (!(await needRoutes(t, server, 'box', ['rename']))) return;
    const folder = folderFor('renamed', { 'report.final.txt': 'text', 'other.txt': 'x' });
    const page = await openPage(browser, server, { hash: '#/box/renamed' });
    const log = recordRequests(page);
    await settled(page);
    await selectRow(page, 'report.final.txt');
    await page.click('#renameButton');
    assert.equal(await page.inputValue('#dialogName'), 'report.final.txt');
    assert.deepEqual(await page.evaluate(() => [document.activeElement.selectionStart, document.activeElement.selectionEnd]), [0, 12]);
    await page.click('#dialogOk');
    await page.waitForSelector('#dialog', { state: 'hidden' });
    assert.equal(log.filter((entry) => entry.path === '/api/rename').length, 0);

    await page.click('#renameButton');
    await page.fill('#dialogName', 'other.txt');
    await page.click('#dialogOk');
    await page.waitForFunction(() => document.getElementById('dialogError').textContent === 'An item with this name already exists.');
    await page.fill('#dialogName', 'summary.txt');
    await page.keyboard.press('Enter');
    await page.waitForSelector('#dialog', { state: 'hidden' });
    assert.equal(await page.textContent('#toast'), 'Renamed.');
    await page.waitForFunction(() => [...document.querySelectorAll('#content a.name')].some((link) => link.textContent === 'summary.txt'));
    assert.deepEqual(visibleEntries(folder), ['other.txt', 'summary.txt']);
    assert.equal(await page.textContent('#selectionCount'), '1 selected');
    assert.equal(await page.locator('#content .row.selected a.name').textContent(), 'summary.txt');
    // The toast stands above the selection bar, on a desktop and on a phone.
    for (const size of [null, { width: 390, height: 844 }]) {
      if (size) await page.setViewportSize(size);
      const toast = await page.locator('#toast').boundingBox();
      const bar = await page.locator('#selectionTools').boundingBox();
      assert.ok(toast.y + toast.height <= bar.y, `toast ${JSON.stringify(toast)} over the bar ${JSON.stringify(bar)}`);
    }
    const body = JSON.parse(log.filter((entry) => entry.path === '/api/rename').at(-1).body);
    assert.deepEqual(body, { share: 'box', path: 'renamed/report.final.txt', newName: 'summary.txt' });
    await page.context().close();
  });

  test('delete: a confirmation, then the items are in the trash', async (t) => {
    if (!(await needRoutes(t, server, 'box', ['delete']))) return;
    const folder = folderFor('deleted', { 'gone.txt': 'bye', 'old folder/inside.txt': 'in', 'kept.txt': 'stay' });
    const page = await openPage(browser, server, { hash: '#/box/deleted' });
    await settled(page);
    await selectRow(page, 'gone.txt');
    await selectRow(page, 'old folder');
    await page.click('#deleteButton');
    assert.equal(await page.textContent('#dialogTitle'), 'Delete');
    assert.equal(await page.textContent('#dialogText'), 'Delete the 2 selected items? They go to the Trash of the sharing computer.');
    assert.equal(await page.evaluate(() => document.activeElement.id), 'dialogOk');
    await page.click('#dialogOk');
    await page.waitForSelector('#dialog', { state: 'hidden' });
    assert.equal(await page.textContent('#toast'), '2 items moved to the Trash.');
    await page.waitForFunction(() => document.querySelectorAll('#content .row').length === 1);
    assert.deepEqual(await shownNames(page), ['kept.txt']);
    assert.equal(await page.isVisible('#selectionTools'), false);
    assert.deepEqual(visibleEntries(folder), ['kept.txt']);
    const trashed = fs.readdirSync(server.trashFiles);
    assert.ok(trashed.includes('gone.txt'), trashed.join(', '));
    assert.ok(trashed.includes('old folder'), trashed.join(', '));
    assert.equal(fs.readFileSync(path.join(server.trashFiles, 'old folder/inside.txt'), 'utf8'), 'in');
    await page.context().close();
  });

  test('a refused delete keeps the dialog open with the reason and refreshes after it closes', async (t) => {
    if (!(await needRoutes(t, server, 'box', ['delete']))) return;
    folderFor('refused', { 'stays.txt': 'x' });
    const page = await openPage(browser, server, { hash: '#/box/refused' });
    await page.route('**/api/delete', (route) => route.fulfill({ status: 409, contentType: 'application/json', body: '{"error":"noRecycleBin"}' }));
    await settled(page);
    await selectRow(page, 'stays.txt');
    await page.click('#deleteButton');
    await page.click('#dialogOk');
    await page.waitForSelector('#dialogError:not([hidden])');
    assert.equal(await page.textContent('#dialogError'),
      'Nothing was deleted: some items cannot go to the Trash. Delete them on the sharing computer.');
    const refreshed = page.waitForRequest((request) => request.url().includes('/api/list?'));
    await page.keyboard.press('Escape');
    await refreshed;
    await page.waitForSelector('#dialog', { state: 'hidden' });
    await page.context().close();
  });
});

describe('download of a selection', () => {
  test('one file downloads directly; a folder and a file come as one ZIP', async (t) => {
    if (!(await needRoutes(t, server, 'box', ['zip']))) return;
    folderFor('zipped', { 'notes.txt': 'first notes', 'album/photo.txt': 'a photo', 'album/deeper/more.txt': 'more', '한글.txt': '안녕' });
    const page = await openPage(browser, server, { hash: '#/box/zipped' });
    const log = recordRequests(page);
    await settled(page);

    await selectRow(page, 'notes.txt');
    const [single] = await Promise.all([page.waitForEvent('download'), page.click('#downloadButton')]);
    assert.equal(single.suggestedFilename(), 'notes.txt');
    assert.equal(fs.readFileSync(await single.path(), 'utf8'), 'first notes');
    assert.equal(log.filter((entry) => entry.path === '/api/zip').length, 0);

    await selectRow(page, 'album');
    await selectRow(page, '한글.txt');
    const [archive] = await Promise.all([page.waitForEvent('download'), page.click('#downloadButton')]);
    assert.equal(await page.textContent('#toast'), 'Downloading as a ZIP file.');
    assert.equal(archive.suggestedFilename(), 'zipped.zip');
    const saved = path.join(scratch, 'selection.zip');
    await archive.saveAs(saved);
    const { bad, entries } = readZip(saved);
    assert.equal(bad, null);
    assert.deepEqual(entries, {
      'album/': '',
      'album/deeper/': '',
      'album/deeper/more.txt': 'more',
      'album/photo.txt': 'a photo',
      'notes.txt': 'first notes',
      '한글.txt': '안녕',
    });
    const body = JSON.parse(log.filter((entry) => entry.path === '/api/zip').at(-1).body);
    assert.deepEqual(body, { share: 'box', path: 'zipped', names: ['album', 'notes.txt', '한글.txt'] });
    await page.context().close();
  });
});
