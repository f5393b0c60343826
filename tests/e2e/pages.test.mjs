// The browsing side of the web client in Debian's chromium against the real
// server: languages, the share list, sorting, filtering, list and tiles with
// thumbnails, the viewer, stale answers, hostile names, a huge folder, and
// screenshots of the main screens.

import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { after, before, describe, test } from 'node:test';

import {
  axeFindings, launchBrowser, makeJpeg, needRoutes, openPage, screenshot, Server, settled, share, tempRoot, writeTree,
} from './support/harness.mjs';

// Names that look like markup or attributes, and names other systems refuse
// but Linux allows: all real files the server lists.
const HOSTILE = '<img src=x onerror=alert(1)>.txt';
const QUOTED = "x' onmouseover='alert(1)' y='.txt";
const COLON = 'Meeting 10:30?.txt';
const SPECIAL = 'back\\slash "q" 100%; #1 *| 보고서.bin';
const TEXT_LIMIT = 1048576;
const BIG_FOLDER_ITEMS = 10000;

// 3 MB of numbered ASCII lines, so the preview's cut is easy to check.
function bigText() {
  const lines = [];
  let size = 0;
  for (let n = 1; size < 3 * 1024 * 1024; n++) {
    const line = `line ${String(n).padStart(7, '0')} ${'x'.repeat(48)}\n`;
    lines.push(line);
    size += line.length;
  }
  return lines.join('');
}

let browser;
let server;
let trees;

before(async () => {
  browser = await launchBrowser('pages');
  const scratch = await browser.newPage();
  const jpeg = await makeJpeg(scratch);
  await scratch.close();

  trees = tempRoot('pages-tree');
  const docs = path.join(trees, 'docs');
  writeTree(docs, {
    'b/inner.txt': 'inner',
    'a-folder': null,
    'file10.txt': '0123456789',
    'file2.txt': 'abcdefghij',
    'File3.txt': 'x'.repeat(300),
    [QUOTED]: 'not markup',
  });
  const pics = path.join(trees, 'pics');
  writeTree(pics, {
    'a.jpg': jpeg,
    'b.jpg': jpeg,
    'c.jpg': jpeg,
    'notes.txt': bigText(),
    'data.bin': Buffer.alloc(2048, 7),
    'slow/one.txt': '1',
    'fast/two.txt': '2',
  });
  const linux = path.join(trees, 'linux');
  writeTree(linux, {
    [HOSTILE]: 'markup',
    [QUOTED]: 'quote',
    [COLON]: 'agenda',
    [SPECIAL]: Buffer.alloc(1000, 3),
  });
  const big = path.join(trees, 'big');
  fs.mkdirSync(big);
  for (let n = 1; n <= BIG_FOLDER_ITEMS; n++) fs.writeFileSync(path.join(big, `item-${n}.txt`), '');

  server = await Server.start('pages', {
    shares: [
      share('docs', docs, { guest: ['read', 'write', 'delete'] }),
      share('pics', pics),
      share('big', big),
      share('linux', linux, { guest: ['read', 'write', 'delete'] }),
    ],
  });
});

after(async () => {
  await browser?.close();
  await server?.stop();
  if (trees) fs.rmSync(trees, { recursive: true, force: true });
});

async function shownNames(page) {
  return page.locator('#content [data-index] a.name').allTextContents();
}

async function openFolder(page, hash) {
  await page.evaluate((target) => {
    location.hash = target;
  }, hash);
  await page.waitForFunction((target) => location.hash === target, hash);
  await settled(page);
}

function noScriptRan(page) {
  assert.deepEqual(page.scriptDialogs, []);
  assert.deepEqual(page.pageErrors, []);
}

describe('language', () => {
  for (const [locale, lang, summary] of [
    ['ko-KR', 'ko', '열 수 있는 폴더와 파일 4개'],
    ['en-US', 'en', '4 folders and files you can open'],
    ['ja-JP', 'en', '4 folders and files you can open'],
  ]) {
    test(`${locale} reads ${lang}`, async () => {
      const page = await openPage(browser, server, { locale });
      await settled(page);
      assert.equal(await page.getAttribute('html', 'lang'), lang);
      assert.equal((await page.textContent('#summary')).trim(), summary);
      await openFolder(page, '#/docs');
      const placeholder = await page.getAttribute('#filter', 'placeholder');
      assert.equal(placeholder, lang === 'ko' ? '이 폴더에서 찾기' : 'Filter this folder');
      noScriptRan(page);
      await page.context().close();
    });
  }
});

describe('share list', () => {
  test('lists the shares in server order with what each allows', async () => {
    const page = await openPage(browser, server);
    await settled(page);
    assert.deepEqual(await page.locator('.share-name').allTextContents(), ['docs', 'pics', 'big', 'linux']);
    assert.deepEqual(await page.locator('.share-note').allTextContents(),
      ['Can upload files', 'View and download only', 'View and download only', 'Can upload files']);
    assert.equal(await page.title(), 'VeltoCorvane');
    await page.click('.share-row >> text=pics');
    await settled(page);
    assert.equal(new URL(page.url()).hash, '#/pics');
    assert.equal(await page.title(), 'pics - VeltoCorvane');
    await page.context().close();
  });

  test('one open share is entered at once, and the home link still lists it', async () => {
    const folder = tempRoot('single');
    writeTree(folder, { 'only.txt': 'just this' });
    const single = await Server.start('single', { shares: [share('only', folder)] });
    try {
      const page = await openPage(browser, single);
      await page.waitForFunction(() => location.hash === '#/only');
      await settled(page);
      assert.deepEqual(await shownNames(page), ['only.txt']);
      await page.click('.crumb.home');
      await page.waitForFunction(() => location.hash === '#/');
      await settled(page);
      assert.deepEqual(await page.locator('.share-name').allTextContents(), ['only']);
      assert.equal((await page.textContent('#summary')).trim(), '1 folder or file you can open');
      await page.context().close();
    } finally {
      await single.stop();
      fs.rmSync(folder, { recursive: true, force: true });
    }
  });
});

describe('folder view', () => {
  test('sorts folders first, numbers by value, and remembers the order', async () => {
    const page = await openPage(browser, server, { hash: '#/docs' });
    await settled(page);
    const byName = ['a-folder', 'b', 'file2.txt', 'File3.txt', 'file10.txt', QUOTED];
    assert.deepEqual(await shownNames(page), byName);

    // A new key starts descending; folders stay first, and equal sizes (the
    // three 10-byte files) keep the name order ascending.
    await page.click('.sort-button.size-head');
    assert.equal(await page.textContent('.sort-button.size-head'), 'Size ↓');
    assert.deepEqual(await shownNames(page), ['a-folder', 'b', 'File3.txt', 'file2.txt', 'file10.txt', QUOTED]);

    await page.click('.sort-button.size-head');
    assert.equal(await page.textContent('.sort-button.size-head'), 'Size ↑');
    assert.deepEqual(await shownNames(page), ['a-folder', 'b', 'file2.txt', 'file10.txt', QUOTED, 'File3.txt']);

    await page.click('.sort-button.name-head');
    assert.equal(await page.textContent('.sort-button.name-head'), 'Name ↑');
    await page.click('.sort-button.name-head');
    assert.deepEqual(await shownNames(page), ['b', 'a-folder', QUOTED, 'file10.txt', 'File3.txt', 'file2.txt']);

    await page.reload();
    await settled(page);
    assert.equal(await page.textContent('.sort-button.name-head'), 'Name ↓');
    assert.deepEqual(await shownNames(page), ['b', 'a-folder', QUOTED, 'file10.txt', 'File3.txt', 'file2.txt']);
    await page.click('.sort-button.name-head');
    await page.context().close();
  });

  test('on a phone one sort box with a visible direction sorts list and tiles', async () => {
    const page = await openPage(browser, server, { hash: '#/docs', width: 390, height: 844, isMobile: true });
    await settled(page);
    const direction = async () => [await page.textContent('#sortDir'), await page.getAttribute('#sortDir', 'aria-label')];
    for (const layout of ['list', 'tiles']) {
      assert.equal(await page.isVisible('#sort'), true, layout);
      assert.equal(await page.getAttribute('#sort', 'aria-label'), 'Sort by');
      assert.equal(await page.locator('.sort-button:visible').count(), 0, layout);
      assert.deepEqual(await direction(), ['↑', 'Ascending']);
      await page.selectOption('#sort', 'size');
      assert.deepEqual(await direction(), ['↓', 'Descending']);
      assert.deepEqual(await shownNames(page), ['a-folder', 'b', 'File3.txt', 'file2.txt', 'file10.txt', QUOTED]);
      // Choosing the same key again keeps the order; the button reverses it.
      await page.selectOption('#sort', 'size');
      assert.deepEqual(await direction(), ['↓', 'Descending']);
      await page.click('#sortDir');
      assert.deepEqual(await direction(), ['↑', 'Ascending']);
      assert.deepEqual(await shownNames(page), ['a-folder', 'b', 'file2.txt', 'file10.txt', QUOTED, 'File3.txt']);
      await page.selectOption('#sort', 'name');
      assert.deepEqual(await shownNames(page), ['a-folder', 'b', 'file2.txt', 'File3.txt', 'file10.txt', QUOTED]);
      await page.click('#viewButton');
    }
    await page.context().close();
  });

  test('filters by a part of the name in any case', async () => {
    const page = await openPage(browser, server, { hash: '#/docs' });
    await settled(page);
    await page.fill('#filter', 'FILE');
    assert.deepEqual(await shownNames(page), ['file2.txt', 'File3.txt', 'file10.txt']);
    await page.fill('#filter', 'nothing like it');
    assert.deepEqual(await shownNames(page), []);
    assert.equal((await page.textContent('#message')).trim(), 'No names match.');
    await page.fill('#filter', '');
    assert.equal((await shownNames(page)).length, 6);
    // Another folder starts without the filter.
    await page.fill('#filter', 'inner');
    await openFolder(page, '#/docs/b');
    assert.equal(await page.inputValue('#filter'), '');
    assert.deepEqual(await shownNames(page), ['inner.txt']);
    await page.context().close();
  });

  test('list and tiles ask for thumbnails at their sizes, and a missing one falls back to the icon', async (t) => {
    const asked = [];
    const page = await openPage(browser, server, {
      hash: '#/pics',
      beforeLoad: async (p) => {
        p.on('request', (request) => {
          if (request.url().includes('/api/thumb?')) asked.push(new URL(request.url()).searchParams);
        });
        await p.route('**/api/thumb?*path=b.jpg*', (route) => route.fulfill({ status: 404, contentType: 'application/json', body: '{"error":"noThumbnail"}' }));
      },
    });
    await settled(page);
    // b.jpg's thumbnail fails: the image icon takes its place.
    await page.locator('.row', { hasText: 'b.jpg' }).locator('.thumb svg.kind-image').waitFor();
    await page.waitForFunction(() => document.querySelectorAll('.thumb img, .thumb svg.kind-image').length === 3);
    assert.deepEqual(asked.map((query) => [query.get('share'), query.get('path'), query.get('size')]).sort(),
      [['pics', 'a.jpg', '96'], ['pics', 'b.jpg', '96'], ['pics', 'c.jpg', '96']]);
    // Rows with and without a picture are equally tall: nothing moves when one arrives.
    const heights = await page.locator('.row').evaluateAll((rows) => rows.map((row) => row.getBoundingClientRect().height));
    assert.equal(new Set(heights).size, 1);

    asked.length = 0;
    await page.click('#viewButton');
    assert.equal(await page.getAttribute('#viewButton', 'aria-label'), 'List view');
    assert.equal(await page.isVisible('#sort'), true);
    assert.equal(await page.locator('.tile').count(), 7);
    await page.waitForFunction(() => document.querySelectorAll('.tile-thumb img, .tile-thumb svg.kind-image').length === 3);
    // One-line names keep no empty line above the size; all tiles are equally tall.
    const tiles = await page.locator('.tile').evaluateAll((nodes) => nodes.map((tile) => {
      const name = tile.querySelector('.name').getBoundingClientRect();
      const meta = tile.querySelector('.tile-meta').getBoundingClientRect();
      return { height: tile.getBoundingClientRect().height, gap: meta.top - name.bottom, lines: Math.round(name.height / parseFloat(getComputedStyle(tile.querySelector('.name')).lineHeight)) };
    }));
    assert.equal(new Set(tiles.map((tile) => tile.height)).size, 1);
    for (const tile of tiles) assert.deepEqual([tile.lines, tile.gap], [1, 0]);
    assert.ok(asked.length >= 1);
    for (const query of asked) assert.equal(query.get('size'), '320');
    await page.click('#viewButton');
    assert.equal(await page.locator('.row').count(), 7);
    assert.equal(await page.isVisible('#sort'), false);

    if (!(await needRoutes(t, server, 'pics', ['thumb'], 'a.jpg'))) return;
    const picture = page.locator('.row', { hasText: 'a.jpg' }).locator('.thumb img');
    await picture.evaluate((img) => img.decode());
    assert.ok(await picture.evaluate((img) => img.naturalWidth > 0));
    const heightsAfter = await page.locator('.row').evaluateAll((rows) => rows.map((row) => row.getBoundingClientRect().height));
    assert.deepEqual(heightsAfter, heights);
    await page.context().close();
  });

  test('a slow answer for a folder left behind never replaces the newer one', async () => {
    const page = await openPage(browser, server, { hash: '#/pics' });
    await settled(page);
    let releaseSlow;
    const slowHeld = new Promise((resolve) => {
      releaseSlow = resolve;
    });
    await page.route('**/api/list?*path=slow*', async (route) => {
      await slowHeld;
      await route.continue();
    });
    await page.evaluate(() => {
      location.hash = '#/pics/slow';
    });
    await page.evaluate(() => {
      location.hash = '#/pics/fast';
    });
    await page.waitForFunction(() => document.querySelector('#content a.name')?.textContent === 'two.txt');
    releaseSlow();
    await page.waitForTimeout(500);
    assert.deepEqual(await shownNames(page), ['two.txt']);
    assert.equal(await page.textContent('.crumb.current'), 'fast');
    await page.unrouteAll({ behavior: 'ignoreErrors' });
    await page.context().close();
  });

  for (const layout of ['list', 'grid']) {
    test(`a slow listing shows that it is loading (${layout})`, async () => {
      const page = await openPage(browser, server, {
        beforeLoad: (p) => p.addInitScript((value) => localStorage.setItem('vcs.view', value), layout),
      });
      await settled(page);
      let release;
      const held = new Promise((resolve) => {
        release = resolve;
      });
      await page.route('**/api/list?*', async (route) => {
        await held;
        await route.continue();
      });
      await page.evaluate(() => {
        location.hash = '#/pics';
      });
      const spinner = page.locator('#content .loading-state');
      await spinner.waitFor();
      assert.equal(await spinner.getAttribute('role'), 'status');
      assert.equal((await spinner.textContent()).trim(), 'Loading…');
      assert.ok(await page.locator('#content .loading-state .spinner').isVisible());
      release();
      await settled(page);
      assert.equal(await spinner.count(), 0);
      assert.equal(await page.locator(layout === 'grid' ? '.tile' : '.row').count(), 7);
      await page.unrouteAll({ behavior: 'ignoreErrors' });
      await page.context().close();
    });
  }

  test('an error offers Retry and the share list; the home link loads the list again', async () => {
    const page = await openPage(browser, server);
    await settled(page);
    // The server cannot be reached for a while.
    await page.route('**/api/**', (route) => route.abort());
    await openFolder(page, '#/pics/slow');
    assert.equal(await page.textContent('#message'), 'Cannot reach the server.');
    assert.deepEqual(await page.locator('#messageActions > *').allTextContents(), ['Retry', 'Shared folders']);
    await page.unrouteAll({ behavior: 'ignoreErrors' });
    await page.click('#messageActions >> text=Retry');
    await settled(page);
    assert.deepEqual(await shownNames(page), ['one.txt']);
    assert.equal(await page.isVisible('#messageActions'), false);

    await page.route('**/api/**', (route) => route.abort());
    await openFolder(page, '#/');
    assert.equal(await page.textContent('#message'), 'Cannot reach the server.');
    assert.deepEqual(await page.locator('#messageActions > *').allTextContents(), ['Retry']);
    await page.unrouteAll({ behavior: 'ignoreErrors' });
    await page.click('.crumb.home');
    await settled(page);
    assert.deepEqual(await page.locator('.share-name').allTextContents(), ['docs', 'pics', 'big', 'linux']);
    assert.equal(await page.isVisible('#message'), false);
    await page.context().close();
  });

  test('a place that is not there links to none of its parents', async () => {
    const page = await openPage(browser, server, { hash: '#/nothing/here/at-all' });
    await settled(page);
    assert.equal(await page.isVisible('#message'), true);
    assert.deepEqual(await page.locator('#crumbs a').evaluateAll((links) => links.map((link) => link.getAttribute('href'))), ['#/']);
    assert.equal(await page.textContent('.crumb.current'), 'at-all');
    await page.click('#messageActions >> text=Shared folders');
    await page.waitForFunction(() => location.hash === '#/');
    await settled(page);
    assert.equal(await page.locator('.share-name').count(), 4);
    await page.context().close();
  });

  test('names that look like markup or attributes stay text', async () => {
    const page = await openPage(browser, server, { hash: '#/linux' });
    await settled(page);
    for (const name of [HOSTILE, QUOTED]) {
      const link = page.locator('#content a.name', { hasText: name.slice(0, 6) });
      assert.equal(await link.textContent(), name);
      assert.equal(await link.getAttribute('title'), name);
      await link.hover();
      await link.click();
      await page.waitForSelector('#viewer:not([hidden])');
      assert.equal(await page.textContent('#viewerTitle'), name);
      await page.keyboard.press('Escape');
    }
    assert.equal(await page.locator('img[src="x"]').count(), 0);
    await page.locator('.row', { hasText: 'onerror' }).locator('input.check').check();
    await page.click('#renameButton');
    assert.equal(await page.inputValue('#dialogName'), HOSTILE);
    await page.click('#dialogCancel');
    await page.click('#deleteButton');
    assert.equal(await page.textContent('#dialogText'), 'Delete the 1 selected items? They go to the Trash of the sharing computer.');
    await page.click('#dialogCancel');
    assert.equal(await page.locator('img[src="x"]').count(), 0);
    noScriptRan(page);
    await page.context().close();
  });

  test('names with : ? \\ " % ; # * | open and download under their own name', async () => {
    const page = await openPage(browser, server, { hash: '#/linux' });
    await settled(page);
    assert.deepEqual((await shownNames(page)).sort(), [HOSTILE, QUOTED, COLON, SPECIAL].sort());
    await page.locator('#content a.name', { hasText: 'Meeting' }).click();
    await page.waitForSelector('#viewer:not([hidden])');
    assert.equal(await page.textContent('#viewerTitle'), COLON);
    await page.waitForFunction(() => document.querySelector('#viewerStage pre')?.textContent.length > 0);
    assert.equal(await page.textContent('#viewerStage pre'), 'agenda');
    await page.keyboard.press('Escape');
    const [download] = await Promise.all([
      page.waitForEvent('download'),
      page.locator('#content a.name', { hasText: 'slash' }).click(),
    ]);
    assert.equal(new URL(download.url()).pathname, '/files/linux/' + encodeURIComponent(SPECIAL));
    // Chromium itself replaces the characters it keeps out of every saved
    // name; everything else, ; % # and Korean among them, comes from filename*.
    assert.equal(download.suggestedFilename(), SPECIAL.replace(/["*:<>?\\|~]/g, '_'));
    assert.equal(fs.statSync(await download.path()).size, 1000);
    noScriptRan(page);
    await page.context().close();
  });

  test('selection: check boxes, Shift ranges, Ctrl toggles, select all, Escape', async () => {
    const page = await openPage(browser, server, { hash: '#/docs' });
    await settled(page);
    assert.equal(await page.isVisible('#selectionTools'), false);
    const rows = page.locator('#content .row');
    await rows.nth(2).locator('input.check').click();
    assert.equal(await page.textContent('#selectionCount'), '1 selected');
    assert.equal(await page.isVisible('#renameButton'), true);
    await rows.nth(4).locator('.date-cell').click({ modifiers: ['Shift'] });
    assert.equal(await page.textContent('#selectionCount'), '3 selected');
    assert.equal(await page.isVisible('#renameButton'), false);
    await rows.nth(3).locator('.date-cell').click({ modifiers: ['Control'] });
    assert.equal(await page.textContent('#selectionCount'), '2 selected');
    assert.equal(await page.locator('#content .row.selected').count(), 2);
    await page.click('.select-all');
    assert.equal(await page.textContent('#selectionCount'), '6 selected');
    await page.keyboard.press('Escape');
    assert.equal(await page.isVisible('#selectionTools'), false);
    await page.context().close();
  });

  for (const [device, size, crumbs] of [
    ['desktop', { width: 1280, height: 800 }, ['docs', 'b']],
    ['phone', { width: 390, height: 844, isMobile: true }, ['…', 'b']],
  ]) {
    test(`the breadcrumb on a ${device} shows ${crumbs.join(' › ')}`, async () => {
      const page = await openPage(browser, server, { hash: '#/docs/b', ...size });
      await settled(page);
      if (device === 'phone') {
        // Every control at the top and in the selection bar is at least 44 × 44 px.
        await page.locator('#content .row input.check').first().check();
        const small = await page.locator('header a, header button, #toolbar button, #toolbar select, #toolbar input, #selectionTools button')
          .evaluateAll((nodes) => nodes.filter((node) => node.offsetParent !== null).map((node) => [node.id || node.className, node.getBoundingClientRect()])
            .filter(([, box]) => box.width < 44 || box.height < 44).map(([name, box]) => `${name} ${box.width}×${box.height}`));
        assert.deepEqual(small, []);
        await page.keyboard.press('Escape');
      }
      const shown = await page.locator('#crumbs .crumb:not(.home)').evaluateAll((nodes) =>
        nodes.filter((node) => node.offsetParent !== null).map((node) => node.textContent));
      assert.deepEqual(shown, crumbs);
      const separators = await page.locator('#crumbs .crumb-sep').evaluateAll((nodes) => nodes.filter((node) => node.offsetParent !== null).length);
      assert.equal(separators, 2);
      assert.equal(await page.title(), 'b - VeltoCorvane');
      await page.context().close();
    });
  }

  test('keyboard: Tab reaches a name, Enter opens it', async () => {
    const page = await openPage(browser, server, { hash: '#/docs' });
    await settled(page);
    await page.locator('a.name', { hasText: 'b' }).first().focus();
    await page.keyboard.press('Enter');
    await page.waitForFunction(() => location.hash === '#/docs/b');
    await settled(page);
    assert.deepEqual(await shownNames(page), ['inner.txt']);
    await page.goBack();
    await page.waitForFunction(() => location.hash === '#/docs');
    await settled(page);
    assert.equal((await shownNames(page)).length, 6);
    await page.context().close();
  });

  test(`a folder of ${BIG_FOLDER_ITEMS} items lists, scrolls to its end, filters and selects`, async () => {
    const page = await openPage(browser, server, { hash: '#/big' });
    await settled(page);
    assert.deepEqual((await shownNames(page)).slice(0, 3), ['item-1.txt', 'item-2.txt', 'item-3.txt']);
    await page.evaluate(() => window.scrollTo(0, document.documentElement.scrollHeight));
    await page.waitForFunction(() => [...document.querySelectorAll('#content a.name')].some((link) => link.textContent === 'item-10000.txt'));
    const last = page.locator('#content a.name', { hasText: 'item-10000.txt' });
    assert.ok(await last.isVisible());
    const box = await last.boundingBox();
    assert.ok(box.y > 0 && box.y + box.height <= 800, `the last row is on screen at ${box.y}`);
    await page.fill('#filter', 'item-9999');
    await settled(page);
    assert.deepEqual(await shownNames(page), ['item-9999.txt']);
    assert.equal(await page.locator('#summary').textContent(), '1 file (filtered from 10,000)');
    await page.fill('#filter', '');
    await settled(page);
    assert.equal(await page.locator('#summary').textContent(), '10,000 files');
    await page.locator('#content .row input.check').first().focus();
    await page.keyboard.press('Control+A');
    assert.equal(await page.textContent('#selectionCount'), '10,000 selected');
    await page.evaluate(() => window.scrollTo(0, 5000 * 53));
    await page.waitForFunction(() => [...document.querySelectorAll('#content a.name')].some((link) => link.textContent === 'item-5000.txt'));
    const row = page.locator('#content .row', { has: page.locator('a.name:text-is("item-5000.txt")') });
    assert.equal(await row.getAttribute('class'), 'row selected');
    assert.equal(await row.locator('input.check').isChecked(), true);
    await page.context().close();
  });
});

describe('returning and the keyboard', () => {
  const focusedName = (page) => page.evaluate(() => (document.activeElement.matches('a.name') ? document.activeElement.textContent : document.activeElement.tagName));

  test('Back returns to the scroll position and the focused item', async () => {
    const page = await openPage(browser, server, { hash: '#/big' });
    await settled(page);
    await page.evaluate(() => window.scrollTo(0, 378 * 53));
    await page.waitForFunction(() => [...document.querySelectorAll('#content a.name')].some((link) => link.textContent === 'item-381.txt'));
    await page.locator('#content a.name', { hasText: /^item-381\.txt$/ }).focus();
    const y = await page.evaluate(() => window.scrollY);
    await openFolder(page, '#/docs');
    assert.equal(await page.evaluate(() => window.scrollY), 0);
    await page.goBack();
    await page.waitForFunction(() => location.hash === '#/big');
    await settled(page);
    assert.equal(await page.evaluate(() => window.scrollY), y);
    assert.equal(await focusedName(page), 'item-381.txt');
    // A new visit by a link starts at the top.
    await openFolder(page, '#/docs');
    await openFolder(page, '#/big');
    assert.equal(await page.evaluate(() => window.scrollY), 0);
    await page.context().close();
  });

  test('arrow keys move the focus through the list and the tiles; scrolling keeps it', async () => {
    const page = await openPage(browser, server, { hash: '#/big' });
    await settled(page);
    await page.locator('#content a.name', { hasText: /^item-1\.txt$/ }).focus();
    for (let n = 0; n < 30; n++) await page.keyboard.press('ArrowDown');
    assert.equal(await focusedName(page), 'item-31.txt');
    const box = await page.evaluate(() => document.activeElement.getBoundingClientRect().toJSON());
    assert.ok(box.top >= 56 && box.bottom <= 800, `the focused row is on screen at ${box.top}`);
    await page.keyboard.press('ArrowUp');
    assert.equal(await focusedName(page), 'item-30.txt');
    // Scrolling the focused row far away keeps the focus on it.
    await page.evaluate(() => window.scrollTo(0, 5000 * 53));
    await page.waitForFunction(() => [...document.querySelectorAll('#content a.name')].some((link) => link.textContent === 'item-5000.txt'));
    assert.equal(await focusedName(page), 'item-30.txt');
    await page.keyboard.press('ArrowDown');
    assert.equal(await focusedName(page), 'item-31.txt');

    await page.click('#viewButton');
    await settled(page);
    const columns = await page.evaluate(() => new Set([...document.querySelectorAll('.tile')].map((tile) => tile.style.left)).size);
    await page.locator('#content a.name', { hasText: /^item-1\.txt$/ }).focus();
    await page.keyboard.press('ArrowRight');
    assert.equal(await focusedName(page), 'item-2.txt');
    await page.keyboard.press('ArrowDown');
    assert.equal(await focusedName(page), `item-${2 + columns}.txt`);
    await page.keyboard.press('ArrowLeft');
    assert.equal(await focusedName(page), `item-${1 + columns}.txt`);
    await page.context().close();
  });
});

describe('viewer', () => {
  test('walks the image gallery, wraps around, plays a slide show and closes with Escape', async () => {
    const page = await openPage(browser, server, { hash: '#/pics' });
    await page.clock.install();
    await settled(page);
    await page.click('a.name >> text=b.jpg');
    await page.waitForSelector('#viewer:not([hidden])');
    const title = () => page.textContent('#viewerTitle');
    assert.equal(await title(), 'b.jpg');
    // Nothing of the page behind shows through or takes focus.
    const behind = () => page.evaluate(() => ['header.bar', 'main', '#selectionTools', '#uploads'].map((selector) => document.querySelector(selector).inert));
    assert.deepEqual(await behind(), [true, true, true, true]);
    assert.equal(await page.evaluate(() => getComputedStyle(document.getElementById('viewer')).backgroundColor), 'rgb(8, 10, 14)');
    assert.match(await page.getAttribute('#viewerStage img', 'src'), /\/files\/pics\/b\.jpg\?view=1$/);
    await page.click('#viewerNext');
    assert.equal(await title(), 'c.jpg');
    await page.click('#viewerNext');
    assert.equal(await title(), 'a.jpg');
    await page.keyboard.press('ArrowLeft');
    assert.equal(await title(), 'c.jpg');
    await page.keyboard.press('ArrowRight');
    assert.equal(await title(), 'a.jpg');

    await page.click('#viewerSlideshow');
    assert.equal(await page.getAttribute('#viewerSlideshow use', 'href'), '#i-pause');
    await page.clock.runFor(4000);
    assert.equal(await title(), 'b.jpg');
    await page.clock.runFor(4000);
    assert.equal(await title(), 'c.jpg');
    await page.keyboard.press('ArrowRight');
    assert.equal(await page.getAttribute('#viewerSlideshow use', 'href'), '#i-play');
    await page.clock.runFor(8000);
    assert.equal(await title(), 'a.jpg');

    await page.keyboard.press('Escape');
    assert.equal(await page.isVisible('#viewer'), false);
    assert.deepEqual(await behind(), [false, false, false, false]);
    await page.context().close();
  });

  test('on a touch screen a sideways swipe moves between the pictures', async () => {
    const page = await openPage(browser, server, { hash: '#/pics', width: 390, height: 844, isMobile: true });
    await settled(page);
    await page.click('a.name >> text=b.jpg');
    await page.waitForSelector('#viewer:not([hidden])');
    const cdp = await page.context().newCDPSession(page);
    const swipe = async (fromX, toX, y = 400, toY = y) => {
      await cdp.send('Input.dispatchTouchEvent', { type: 'touchStart', touchPoints: [{ x: fromX, y }] });
      await cdp.send('Input.dispatchTouchEvent', { type: 'touchMove', touchPoints: [{ x: (fromX + toX) / 2, y: (y + toY) / 2 }] });
      await cdp.send('Input.dispatchTouchEvent', { type: 'touchMove', touchPoints: [{ x: toX, y: toY }] });
      await cdp.send('Input.dispatchTouchEvent', { type: 'touchEnd', touchPoints: [] });
    };
    const title = () => page.textContent('#viewerTitle');
    await swipe(320, 80);
    assert.equal(await title(), 'c.jpg');
    await swipe(80, 320);
    await swipe(80, 320);
    assert.equal(await title(), 'a.jpg');
    // Short or mostly upright moves are no swipe.
    await swipe(200, 170);
    await swipe(200, 120, 200, 500);
    assert.equal(await title(), 'a.jpg');
    await page.context().close();
  });

  test('a picture that cannot be loaded is said so, with the reason the server gives', async () => {
    const page = await openPage(browser, server, { hash: '#/pics' });
    await settled(page);
    await page.route('**/files/pics/b.jpg?view=1', (route) => route.fulfill({ status: 404, contentType: 'application/json', body: '{"error":"notFound"}' }));
    await page.route('**/files/pics/c.jpg?view=1', (route) => route.fulfill({ status: 200, contentType: 'image/jpeg', body: 'not a picture' }));
    const message = () => page.textContent('#viewerStage .viewer-message');
    await page.click('a.name >> text=b.jpg');
    await page.waitForFunction(() => /Not found/.test(document.querySelector('#viewerStage .viewer-message')?.textContent));
    assert.equal(await message(), 'The image could not be loaded. Not found. It may have been moved or deleted.');
    await page.click('#viewerNext');
    await page.waitForSelector('#viewerStage .viewer-message');
    assert.equal(await message(), 'The image could not be loaded.');
    assert.equal(await page.locator('#viewerStage img').count(), 0);
    await page.click('#viewerNext');
    await page.locator('#viewerStage img').evaluate((img) => img.decode());
    await page.unrouteAll({ behavior: 'ignoreErrors' });
    await page.context().close();
  });

  test('previews the first MiB of a 3 MB text file with the truncation note', async () => {
    const page = await openPage(browser, server, { hash: '#/pics' });
    await settled(page);
    const ranged = page.waitForRequest((request) => request.url().endsWith('/files/pics/notes.txt?view=1'));
    await page.click('a.name >> text=notes.txt');
    const request = await ranged;
    assert.equal((await request.allHeaders()).range, 'bytes=0-1048575');
    await page.waitForFunction(() => document.querySelector('#viewerStage pre')?.textContent.length > 0);
    const text = await page.textContent('#viewerStage pre');
    const expected = fs.readFileSync(path.join(trees, 'pics/notes.txt'), 'latin1').slice(0, TEXT_LIMIT);
    assert.equal(text, expected + '\n\n[Only the first 1 MB of the file is shown]');
    assert.equal(await page.isVisible('#viewerPrev'), false);
    await page.click('#viewerClose');
    assert.equal(await page.isVisible('#viewer'), false);
    await page.context().close();
  });

  test('a file the browser cannot show is downloaded instead', async () => {
    const page = await openPage(browser, server, { hash: '#/pics' });
    await settled(page);
    const size = (name) => page.locator('#content .row', { has: page.locator(`a.name:text-is("${name}")`) }).locator('.size-cell').textContent();
    assert.equal(await size('data.bin'), '2.0 KB');
    assert.equal(await size('notes.txt'), '3.0 MB');
    assert.equal(await size('fast'), '');
    const [download] = await Promise.all([page.waitForEvent('download'), page.click('a.name >> text=data.bin')]);
    assert.equal(download.suggestedFilename(), 'data.bin');
    assert.equal(fs.statSync(await download.path()).size, 2048);
    assert.equal(await page.isVisible('#viewer'), false);

    // A download the server refuses is said in the page.
    await page.route('**/files/pics/data.bin', (route) => route.fulfill({ status: 404, contentType: 'application/json', body: '{"error":"notFound"}' }));
    let downloads = 0;
    page.on('download', () => downloads++);
    await page.click('a.name >> text=data.bin');
    await page.waitForFunction(() => !document.getElementById('toast').hidden);
    assert.equal(await page.textContent('#toast'), 'The download failed. Not found. It may have been moved or deleted.');
    assert.equal(downloads, 0);
    await page.unrouteAll({ behavior: 'ignoreErrors' });
    await page.context().close();
  });
});

describe('accessibility', () => {
  const sizes = { desktop: { width: 1280, height: 800 }, phone: { width: 390, height: 844, isMobile: true } };
  for (const colorScheme of ['light', 'dark']) {
    for (const [device, size] of Object.entries(sizes)) {
      test(`axe-core finds nothing critical or serious on the main screens (${colorScheme}, ${device})`, async () => {
        const page = await openPage(browser, server, { colorScheme, ...size, bypassCSP: true });
        const findings = [];
        const audit = async (screen) => {
          for (const line of await axeFindings(page)) findings.push(`${screen}: ${line}`);
        };
        await settled(page);
        await audit('share list');
        await openFolder(page, '#/docs');
        await audit('folder list');
        await page.locator('#content .row').nth(3).locator('input.check').check();
        await audit('selection');
        await page.click('#newFolderButton');
        await page.click('#dialogOk');
        await page.waitForSelector('#dialogError:not([hidden])');
        await audit('dialog');
        await page.keyboard.press('Escape');
        await openFolder(page, '#/pics');
        await page.click('#viewButton');
        await audit('tiles');
        await page.click('#viewButton');
        await page.click('a.name >> text=a.jpg');
        await page.waitForSelector('#viewer:not([hidden])');
        await audit('viewer');
        await page.keyboard.press('Escape');
        await openFolder(page, '#/nothing/here');
        await audit('error');
        assert.deepEqual(findings, []);
        await page.context().close();
      });
    }
  }

  test('every screen has one h1 naming the place', async () => {
    const page = await openPage(browser, server, { width: 390, height: 844, isMobile: true });
    await settled(page);
    assert.deepEqual(await page.locator('h1').allTextContents(), ['Shared']);
    assert.equal(await page.getAttribute('.brand', 'aria-label'), 'VeltoCorvane');
    await openFolder(page, '#/docs/b');
    assert.deepEqual(await page.locator('h1').allTextContents(), ['b']);
    await page.context().close();
  });
});

describe('screenshots', () => {
  const sizes = { desktop: { width: 1280, height: 800 }, phone: { width: 390, height: 844, isMobile: true } };
  for (const locale of ['ko-KR', 'en-US']) {
    for (const colorScheme of ['light', 'dark']) {
      for (const [device, size] of Object.entries(sizes)) {
        test(`${locale} ${colorScheme} ${device}`, async () => {
          const name = `${locale.slice(0, 2)}-${colorScheme}-${device}`;
          const page = await openPage(browser, server, { locale, colorScheme, ...size });
          await settled(page);
          await screenshot(page, `${name}-shares`);
          await openFolder(page, '#/docs');
          await screenshot(page, `${name}-folder`);
          await page.locator('#content .row').nth(3).locator('input.check').check();
          await screenshot(page, `${name}-selection`);
          await page.click('#newFolderButton');
          await page.click('#dialogOk');
          await page.waitForSelector('#dialogError:not([hidden])');
          await screenshot(page, `${name}-dialog`);
          await page.keyboard.press('Escape');
          await openFolder(page, '#/pics');
          await page.click('#viewButton');
          await screenshot(page, `${name}-tiles`);
          await page.click('#viewButton');
          noScriptRan(page);
          await page.context().close();
        });
      }
    }
  }
});
