// Signing in and out, the lock-out text, and share passwords in Debian's
// chromium against the real server.

import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { after, before, describe, test } from 'node:test';

import { account, launchBrowser, openPage, Server, settled, share, tempRoot, writeTree } from './support/harness.mjs';

let browser;
let trees;

before(async () => {
  browser = await launchBrowser('access');
  trees = tempRoot('access-tree');
  writeTree(trees, {
    'public/hello.txt': 'hello',
    'private/secret.txt': 'secret',
    'locked/inside.txt': 'inside',
  });
});

after(async () => {
  await browser?.close();
  if (trees) fs.rmSync(trees, { recursive: true, force: true });
});

// A server with a public share, a share only the account "mina" may read,
// and a share with a password.
async function startServer(label) {
  const shares = [
    share('public', path.join(trees, 'public')),
    share('private', path.join(trees, 'private'), { guest: [] }),
    share('locked', path.join(trees, 'locked'), { password: 'open sesame' }),
  ];
  const accounts = [account('mina', 'right horse', { [shares[1].id]: ['read', 'write'] })];
  return Server.start(label, { shares, accounts });
}

async function signIn(page, name, password) {
  await page.fill('#dialogName', name);
  await page.fill('#dialogPassword', password);
  await page.click('#dialogOk');
}

async function dialogError(page, text) {
  await page.waitForFunction((expected) => document.getElementById('dialogError').textContent === expected, text);
  assert.equal(await page.isVisible('#dialog'), true);
}

describe('accounts', () => {
  let server;
  before(async () => {
    server = await startServer('accounts');
  });
  after(async () => server?.stop());

  test('sign in with a wrong and then the right password, and sign out again', async () => {
    const page = await openPage(browser, server, { locale: 'ko-KR' });
    await settled(page);
    assert.deepEqual(await page.locator('.share-name').allTextContents(), ['public', 'locked']);
    assert.match(await page.textContent('#summary'), /로그인하면 계정에 권한이 있는 폴더와 파일도 열 수 있습니다\./);
    assert.equal(await page.textContent('#userName'), '로그인');

    await page.click('#userButton');
    assert.equal(await page.textContent('#dialogTitle'), '로그인');
    assert.equal(await page.textContent('#dialogOk'), '로그인');
    assert.equal(await page.evaluate(() => document.activeElement.id), 'dialogName');
    await signIn(page, 'mina', 'wrong horse');
    await dialogError(page, '사용자 이름이나 비밀번호가 틀렸습니다.');
    assert.equal(await page.evaluate(() => document.activeElement.id), 'dialogPassword');
    await signIn(page, '  mina ', 'right horse');
    await page.waitForSelector('#dialog', { state: 'hidden' });
    await page.waitForFunction(() => document.getElementById('userName').textContent === 'mina');
    await settled(page);
    assert.deepEqual(await page.locator('.share-name').allTextContents(), ['public', 'private', 'locked']);
    assert.equal(await page.locator('.share-note').nth(1).textContent(), '파일 올리기 가능');

    await page.click('#userButton');
    await page.waitForFunction(() => document.getElementById('userName').textContent === '로그인');
    await settled(page);
    assert.deepEqual(await page.locator('.share-name').allTextContents(), ['public', 'locked']);
    await page.context().close();
  });

  test('a share that needs an account asks for sign-in, then opens', async () => {
    const page = await openPage(browser, server, { hash: '#/private' });
    await page.waitForSelector('#dialog[open]');
    assert.equal(await page.textContent('#dialogTitle'), 'Sign in');
    await signIn(page, 'MINA', 'right horse');
    await page.waitForSelector('#dialog', { state: 'hidden' });
    await page.waitForFunction(() => document.querySelector('#content a.name')?.textContent === 'secret.txt');
    assert.equal(await page.textContent('#userName'), 'mina');
    await page.context().close();
  });

  test('cancelling the sign-in leaves the reason on the page with a way to sign in', async () => {
    const page = await openPage(browser, server, { hash: '#/private' });
    await page.waitForSelector('#dialog[open]');
    await page.keyboard.press('Escape');
    await page.waitForFunction(() => document.getElementById('message').textContent === 'You need to sign in.');
    assert.equal(await page.isVisible('#dialog'), false);
    assert.deepEqual(await page.locator('#messageActions > *').allTextContents(), ['Sign in', 'Retry', 'Shared folders']);
    await page.click('#messageActions >> text=Sign in');
    await page.waitForSelector('#dialog[open]');
    await signIn(page, 'mina', 'right horse');
    await page.waitForFunction(() => document.querySelector('#content a.name')?.textContent === 'secret.txt');
    assert.equal(await page.isVisible('#messageActions'), false);
    await page.context().close();
  });

  test('a lock-out reply shows its retryAfter seconds, 60 when it has none', async () => {
    const page = await openPage(browser, server);
    await settled(page);
    let reply = { error: 'tooMany', retryAfter: 30 };
    await page.route('**/api/login', (route) => route.fulfill({ status: 429, contentType: 'application/json', headers: { 'Retry-After': '30' }, body: JSON.stringify(reply) }));
    await page.click('#userButton');
    await signIn(page, 'mina', 'whatever');
    await dialogError(page, 'Too many wrong tries. Try again in 30 seconds.');
    reply = { error: 'tooMany' };
    await page.click('#dialogOk');
    await dialogError(page, 'Too many wrong tries. Try again in 60 seconds.');
    await page.context().close();
  });
});

describe('lock-out', () => {
  test("the server's fifth failure shows the tooMany text with its retryAfter", async () => {
    const server = await startServer('lockout');
    try {
      const page = await openPage(browser, server);
      await settled(page);
      await page.click('#userButton');
      for (let attempt = 1; attempt <= 4; attempt++) {
        await page.evaluate(() => {
          document.getElementById('dialogError').textContent = '';
        });
        await signIn(page, 'mina', `wrong ${attempt}`);
        await dialogError(page, 'The user name or password is wrong.');
      }
      await signIn(page, 'mina', 'wrong 5');
      await dialogError(page, 'Too many wrong tries. Try again in 60 seconds.');
      // Even the right password waits now.
      await page.evaluate(() => {
        document.getElementById('dialogError').textContent = '';
      });
      await signIn(page, 'mina', 'right horse');
      await page.waitForFunction(() => /^Too many wrong tries\. Try again in (59|60) seconds\.$/.test(document.getElementById('dialogError').textContent));
      await page.context().close();
    } finally {
      await server.stop();
    }
  });
});

describe('share password', () => {
  let server;
  before(async () => {
    server = await startServer('unlock');
  });
  after(async () => server?.stop());

  test('a locked share asks for its password and opens with the right one', async () => {
    const page = await openPage(browser, server);
    await settled(page);
    const row = page.locator('.share-row', { hasText: 'locked' });
    assert.equal(await row.locator('.share-note').textContent(), 'Password required');
    assert.equal(await row.locator('use').last().getAttribute('href'), '#i-lock');
    await row.click();
    assert.equal(await page.textContent('#dialogTitle'), 'Open shared folder');
    assert.equal(await page.textContent('#dialogText'), 'Enter the password of the shared folder “locked”.');
    assert.equal(await page.isVisible('#dialogName'), false);
    assert.equal(await page.evaluate(() => document.activeElement.id), 'dialogPassword');
    await page.fill('#dialogPassword', 'open');
    await page.click('#dialogOk');
    await dialogError(page, 'The password is wrong.');
    assert.equal(new URL(page.url()).hash, '#/');
    // Surrounding spaces are part of a password.
    await page.fill('#dialogPassword', ' open sesame');
    await page.click('#dialogOk');
    await dialogError(page, 'The password is wrong.');
    await page.fill('#dialogPassword', 'open sesame');
    await page.click('#dialogOk');
    await page.waitForFunction(() => location.hash === '#/locked');
    await page.waitForFunction(() => document.querySelector('#content a.name')?.textContent === 'inside.txt');
    await page.context().close();
  });

  test('a link straight into a locked share asks first; cancelling goes to the share list', async () => {
    const page = await openPage(browser, server, { hash: '#/locked' });
    await page.waitForSelector('#dialog[open]');
    assert.equal(await page.textContent('#dialogTitle'), 'Open shared folder');
    await page.click('#dialogCancel');
    await page.waitForFunction(() => location.hash === '#/');
    await settled(page);
    assert.deepEqual(await page.locator('.share-name').allTextContents(), ['public', 'locked']);
    await page.context().close();
  });
});
