// Search in the web client in Debian's chromium against the real server:
// from the filter box (Enter or its button) to a results view whose items
// name their folder, open, select and download as a ZIP, with the search in
// the address so Back returns to it, in Korean and English.

import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { after, before, describe, test } from 'node:test';

import { launchBrowser, openPage, readZip, Server, settled, share, tempRoot, writeTree } from './support/harness.mjs';

let browser;
let server;
let trees;

before(async () => {
  browser = await launchBrowser('search');
  trees = tempRoot('search-tree');
  const docs = path.join(trees, 'docs');
  writeTree(docs, {
    '보고서 2024.txt': 'root report',
    '프로젝트/2024 보고서 최종.txt': 'final report',
    '프로젝트/deep/Résumé 2024.txt': 'resume',
    '프로젝트/사진': null,
    '.hidden 보고서 2024.txt': 'hidden',
    'notes.txt': 'notes',
  });
  server = await Server.start('search', { shares: [share('docs', docs)] });
});

after(async () => {
  await browser?.close();
  await server?.stop();
  if (trees) fs.rmSync(trees, { recursive: true, force: true });
});

async function shownNames(page) {
  return (await page.locator('#content [data-index] a.name').allTextContents()).sort();
}

async function shownFolders(page) {
  return (await page.locator('#content [data-index] a.in-folder').allTextContents()).sort();
}

async function rowNamed(page, name) {
  return page.locator('#content [data-index]').filter({ has: page.locator('a.name', { hasText: name }) });
}

async function searchFor(page, words, how) {
  await page.fill('#filter', words);
  if (how === 'button') await page.click('#searchButton');
  else await page.press('#filter', 'Enter');
  await page.waitForFunction(() => location.hash.includes('?search='));
  await settled(page);
}

describe('search', () => {
  test('finds every word below the share, names each folder, and Back returns', async () => {
    const page = await openPage(browser, server, { hash: '#/docs/프로젝트' });
    await settled(page);
    assert.equal(await page.textContent('#searchButton'), 'Search this share');

    await searchFor(page, '보고서 2024', 'enter');
    assert.equal(decodeURIComponent(await page.evaluate(() => location.hash)), '#/docs?search=보고서 2024');
    assert.deepEqual(await shownNames(page), ['2024 보고서 최종.txt', '보고서 2024.txt']);
    assert.deepEqual(await shownFolders(page), ['In docs', 'In docs/프로젝트']);
    assert.equal((await page.textContent('#summary')).trim(), '2 items found');
    assert.equal(await page.inputValue('#filter'), '보고서 2024');
    assert.equal(await page.textContent('#crumbs .crumb.current'), 'Results for “보고서 2024”');

    // Accents and letter case do not matter; the button searches too.
    await searchFor(page, 'resume', 'button');
    assert.deepEqual(await shownNames(page), ['Résumé 2024.txt']);

    // Its folder link opens the folder; Back brings the results again.
    await page.click('#content a.in-folder');
    await page.waitForFunction(() => !location.hash.includes('?'));
    await settled(page);
    assert.equal(decodeURIComponent(await page.evaluate(() => location.hash)), '#/docs/프로젝트/deep');
    assert.deepEqual(await shownNames(page), ['Résumé 2024.txt']);
    await page.goBack();
    await settled(page);
    assert.deepEqual(await shownNames(page), ['Résumé 2024.txt']);
    assert.equal(await page.inputValue('#filter'), 'resume');

    // A folder result opens that folder; a text result opens in the viewer.
    await searchFor(page, '사진', 'enter');
    await page.click('#content a.name');
    await page.waitForFunction(() => decodeURIComponent(location.hash) === '#/docs/프로젝트/사진');
    await page.goBack();
    await settled(page);
    await searchFor(page, '최종', 'enter');
    await page.click('#content a.name');
    await page.waitForSelector('#viewer:not([hidden])');
    assert.equal(await page.textContent('#viewerTitle'), '2024 보고서 최종.txt');
    await page.waitForFunction(() => document.querySelector('#viewerStage pre')?.textContent === 'final report');
    await page.click('#viewerClose');

    await searchFor(page, 'nothing like it', 'enter');
    assert.equal(await page.textContent('#message'), 'No names contain “nothing like it”.');
    assert.deepEqual(page.pageErrors, []);
    await page.context().close();
  });

  test('results from several folders download as one ZIP', async () => {
    const page = await openPage(browser, server, { hash: '#/docs?search=' + encodeURIComponent('2024') });
    await settled(page);
    assert.deepEqual(await shownNames(page), ['2024 보고서 최종.txt', 'Résumé 2024.txt', '보고서 2024.txt']);
    for (const name of ['2024 보고서 최종.txt', 'Résumé 2024.txt']) {
      await (await rowNamed(page, name)).locator('input.check').check();
    }
    assert.equal(await page.textContent('#selectionCount'), '2 selected');
    const [archive] = await Promise.all([page.waitForEvent('download'), page.click('#downloadButton')]);
    const saved = path.join(trees, 'results.zip');
    await archive.saveAs(saved);
    const { bad, entries } = readZip(saved);
    assert.equal(bad, null);
    assert.deepEqual(entries, {
      '프로젝트/2024 보고서 최종.txt': 'final report',
      '프로젝트/deep/Résumé 2024.txt': 'resume',
    });
    await page.context().close();
  });

  test('speaks Korean', async () => {
    const page = await openPage(browser, server, { locale: 'ko-KR', hash: '#/docs' });
    await settled(page);
    assert.equal(await page.textContent('#searchButton'), '이 공유에서 찾기');
    await searchFor(page, '보고서', 'enter');
    assert.equal((await page.textContent('#summary')).trim(), '찾은 항목 2개');
    assert.deepEqual(await shownFolders(page), ['위치: docs', '위치: docs/프로젝트']);
    await searchFor(page, '없는 이름', 'enter');
    assert.equal(await page.textContent('#message'), '이름에 ‘없는 이름’이(가) 들어간 항목이 없습니다.');
    await page.context().close();
  });
});
