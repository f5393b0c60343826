// Times the web client in Debian's headless chromium on a folder of 10 000
// items served by the real program:
//   1. navigation start to the folder's first rows on screen (list view),
//   2. a jump to the end of the list to its last row on screen,
//   3. a typed filter to its rendered result (the frame after the keystroke),
//   4. a switch to tiles to the first tiles on screen, and a jump to their end.
// The peer is nginx's own HTML index of the same folder (navigation start to
// its load event) in the same browser, when nginx is installed.
// Usage: node bench/e2e/folder_bench.mjs [runs]   (VELTO_BINARY_DIR picks the build)

import { spawn } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';

import { freePort, launchBrowser, Server, share, tempRoot } from '../../tests/e2e/support/harness.mjs';

const ITEMS = 10000;
const RUNS = Number(process.argv[2] || 7);
const FILTERS = ['file-0999', 'file-1', 'xyz', ''];

function median(values) {
  const sorted = [...values].sort((a, b) => a - b);
  return sorted[Math.floor(sorted.length / 2)];
}

function line(label, values) {
  const shown = values.map((value) => value.toFixed(0)).join(' ');
  console.log(`${label.padEnd(46)} median ${median(values).toFixed(0).padStart(5)} ms   best ${Math.min(...values).toFixed(0).padStart(5)} ms   (${shown})`);
}

// Records, from the first instant of the page, when the folder's rows first
// show (at the next frame after they enter the page).
function watchRows() {
  window.benchTimes = {};
  const observer = new MutationObserver(() => {
    if (!document.querySelector('#content .row')) return;
    observer.disconnect();
    requestAnimationFrame(() => setTimeout(() => {
      window.benchTimes.first = performance.now();
    }, 0));
  });
  observer.observe(document, { subtree: true, childList: true });
}

// Runs `act` in the page and resolves with the milliseconds until `done`
// holds at a frame.
function timeInPage(page, act, done, arg) {
  return page.evaluate(([actText, doneText, value]) => new Promise((resolve) => {
    const start = performance.now();
    new Function('value', actText)(value);
    const check = new Function('value', doneText);
    const poll = () => requestAnimationFrame(() => setTimeout(() => {
      if (check(value)) resolve(performance.now() - start);
      else poll();
    }, 0));
    poll();
  }), [act, done, arg]);
}

async function startNginx(folder) {
  const nginx = ['/usr/sbin/nginx', '/usr/bin/nginx'].find((candidate) => fs.existsSync(candidate));
  if (!nginx) return null;
  const work = tempRoot('bench-nginx');
  fs.mkdirSync(path.join(work, 'logs'));
  fs.mkdirSync(path.join(work, 'tmp'));
  const port = await freePort();
  fs.writeFileSync(path.join(work, 'nginx.conf'), `worker_processes 1;
daemon off;
master_process off;
pid ${work}/nginx.pid;
error_log ${work}/logs/error.log warn;
events { worker_connections 64; }
http {
    access_log off;
    client_body_temp_path ${work}/tmp;
    proxy_temp_path ${work}/tmp;
    fastcgi_temp_path ${work}/tmp;
    uwsgi_temp_path ${work}/tmp;
    scgi_temp_path ${work}/tmp;
    server {
        listen 127.0.0.1:${port};
        location /big/ { alias ${folder}/; autoindex on; }
    }
}
`);
  const child = spawn(nginx, ['-p', work, '-c', path.join(work, 'nginx.conf')], { stdio: 'ignore' });
  for (let i = 0; i < 50; i++) {
    try {
      await fetch(`http://127.0.0.1:${port}/big/`);
      break;
    } catch {
      await new Promise((resolve) => setTimeout(resolve, 100));
    }
  }
  return {
    url: `http://127.0.0.1:${port}/big/`,
    stop: () => {
      child.kill('SIGTERM');
      fs.rmSync(work, { recursive: true, force: true });
    },
  };
}

const trees = tempRoot('bench-tree');
const folder = path.join(trees, 'big');
fs.mkdirSync(folder);
for (let n = 0; n < ITEMS; n++) fs.writeFileSync(path.join(folder, `file-${String(n).padStart(5, '0')}.txt`), 'x'.repeat(n % 100));

const server = await Server.start('bench', { shares: [share('big', folder)] });
const browser = await launchBrowser('bench');
const nginx = await startNginx(folder);
try {
  const first = [];
  const end = [];
  const tiles = [];
  const tilesEnd = [];
  const filtered = Object.fromEntries(FILTERS.map((text) => [text, []]));
  const peer = [];
  for (let run = 0; run < RUNS; run++) {
    const context = await browser.newContext({ locale: 'en-US', viewport: { width: 1280, height: 800 } });
    const page = await context.newPage();
    await page.addInitScript(watchRows);
    await page.goto(`${server.base}/#/big`);
    await page.waitForFunction(() => window.benchTimes.first !== undefined, null, { timeout: 120000 });
    first.push(await page.evaluate(() => window.benchTimes.first));

    const lastName = `file-${String(ITEMS - 1).padStart(5, '0')}.txt`;
    end.push(await timeInPage(page, 'window.scrollTo(0, document.documentElement.scrollHeight);',
      'return [...document.querySelectorAll("#content a.name")].some((link) => link.textContent === value);', lastName));
    await page.evaluate(() => window.scrollTo(0, 0));

    for (const text of FILTERS) {
      filtered[text].push(await timeInPage(page,
        'const input = document.getElementById("filter"); input.value = value; input.dispatchEvent(new Event("input", { bubbles: true }));',
        'return true;', text));
    }
    tiles.push(await timeInPage(page, 'document.getElementById("viewButton").click();',
      'return document.querySelector("#content .tile") !== null;'));
    tilesEnd.push(await timeInPage(page, 'window.scrollTo(0, document.documentElement.scrollHeight);',
      'return [...document.querySelectorAll("#content a.name")].some((link) => link.textContent === value);', lastName));
    await page.evaluate(() => localStorage.clear());
    await context.close();

    if (nginx) {
      const peerContext = await browser.newContext({ viewport: { width: 1280, height: 800 } });
      const peerPage = await peerContext.newPage();
      await peerPage.goto(nginx.url, { waitUntil: 'load' });
      peer.push(await peerPage.evaluate(() => performance.getEntriesByType('navigation')[0].loadEventEnd));
      await peerContext.close();
    }
  }
  console.log(`Folder of ${ITEMS} items, ${RUNS} runs, headless chromium (${browser.version()})`);
  line('navigation to the first rows', first);
  line('jump to the end to the last row', end);
  for (const text of FILTERS) line(`filter "${text}" to its result`, filtered[text]);
  line('switch to tiles to the first tiles', tiles);
  line('jump to the end of the tiles to the last one', tilesEnd);
  if (nginx) line("peer: nginx's HTML index, navigation to load", peer);
} finally {
  nginx?.stop();
  await browser.close();
  await server.stop();
  fs.rmSync(trees, { recursive: true, force: true });
}
