// Shared fixture of the browser tests: the real veltocorvane program in
// headless mode on a loopback port, with HOME, the XDG folders and the data
// folder in a temporary directory, and Debian's chromium driven by
// playwright-core.

import { spawn, execFileSync } from 'node:child_process';
import crypto from 'node:crypto';
import fs from 'node:fs';
import net from 'node:net';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const here = path.dirname(fileURLToPath(import.meta.url));
export const SOURCE_DIR = process.env.VELTO_SOURCE_DIR || path.resolve(here, '../../..');
export const BINARY_DIR = process.env.VELTO_BINARY_DIR || path.join(SOURCE_DIR, 'build');
export const CHROMIUM = process.env.VELTO_CHROMIUM || '/usr/bin/chromium';

const { chromium } = await import(path.join(SOURCE_DIR, 'node_modules/playwright-core/index.mjs'))
  .catch(() => {
    throw new Error('playwright-core is missing: run scripts/install-deps.sh');
  });

const READY_LINE = 'Press Ctrl+C to stop.';
const START_LIMIT_MS = 30000;
// Few iterations keep the tests quick; the server reads the count from the hash.
const TEST_HASH_ITERATIONS = 1000;

export const ARTEFACTS = path.join(BINARY_DIR, 'tests/e2e/artefacts');

export function hashPassword(password) {
  const salt = crypto.randomBytes(16);
  const key = crypto.pbkdf2Sync(Buffer.from(password, 'utf8'), salt, TEST_HASH_ITERATIONS, 32, 'sha256');
  return `pbkdf2-sha256$${TEST_HASH_ITERATIONS}$${salt.toString('hex')}$${key.toString('hex')}`;
}

export function freePort() {
  return new Promise((resolve, reject) => {
    const server = net.createServer();
    server.once('error', reject);
    server.listen(0, '127.0.0.1', () => {
      const { port } = server.address();
      server.close(() => resolve(port));
    });
  });
}

export function tempRoot(label) {
  return fs.mkdtempSync(path.join(os.tmpdir(), `velto-e2e-${label}-`));
}

// Writes files below `root` from {relative path: content}; a value of null
// makes a folder, a Buffer or string the file's bytes.
export function writeTree(root, tree) {
  for (const [relative, content] of Object.entries(tree)) {
    const target = path.join(root, relative);
    if (content === null) {
      fs.mkdirSync(target, { recursive: true });
    } else {
      fs.mkdirSync(path.dirname(target), { recursive: true });
      fs.writeFileSync(target, content);
    }
  }
}

let shareSerial = 0;

// One share for config.json. `guest` is a list of "read", "write", "delete".
export function share(name, folder, { guest = ['read'], password = '', readOnly = false, file = false } = {}) {
  shareSerial++;
  const entry = {
    id: shareSerial.toString(16).padStart(16, '0'),
    name,
    path: folder,
    readOnly,
    guest,
    password: password ? hashPassword(password) : '',
    maxUploadBytes: 0,
  };
  if (file) entry.file = true;
  return entry;
}

export function account(name, password, access) {
  return { name, password: hashPassword(password), access };
}

// The running program. `stop()` ends it with SIGTERM and removes its folders.
export class Server {
  static async start(label, { shares = [], accounts = [], showHidden = false } = {}) {
    const root = tempRoot(label);
    const folders = {};
    for (const name of ['home', 'config', 'state', 'data', 'data-home', 'cache', 'run']) {
      folders[name] = path.join(root, name);
      fs.mkdirSync(folders[name], { recursive: true, mode: 0o700 });
    }
    const config = {
      version: 1,
      server: { port: 8080, https: false, upnp: false, showHidden, startServerOnLaunch: true },
      shares,
      accounts,
    };
    fs.writeFileSync(path.join(folders.data, 'config.json'), JSON.stringify(config, null, 2) + '\n', { mode: 0o600 });
    const port = await freePort();
    const program = path.join(BINARY_DIR, 'app/veltocorvane');
    if (!fs.existsSync(program)) throw new Error(`build ${program} first`);
    const env = {
      PATH: '/usr/sbin:/usr/bin:/sbin:/bin',
      HOME: folders.home,
      XDG_CONFIG_HOME: folders.config,
      XDG_STATE_HOME: folders.state,
      XDG_DATA_HOME: folders['data-home'],
      XDG_CACHE_HOME: folders.cache,
      XDG_RUNTIME_DIR: folders.run,
      VELTO_CORVANE_DATA_DIR: folders.data,
      VELTO_CORVANE_LOOPBACK: '1',
    };
    const child = spawn(program, ['--headless', '--port', String(port)], { env, stdio: ['ignore', 'pipe', 'pipe'] });
    const server = new Server(root, folders, port, child, env);
    await server.waitForReady();
    return server;
  }

  constructor(root, folders, port, child, env) {
    this.root = root;
    this.folders = folders;
    this.port = port;
    this.child = child;
    this.env = env;
    this.base = `http://127.0.0.1:${port}`;
    this.output = '';
    this.errors = '';
    this.exited = null;
    child.stdout.on('data', (chunk) => {
      this.output += chunk;
    });
    child.stderr.on('data', (chunk) => {
      this.errors += chunk;
    });
    child.on('exit', (code, signal) => {
      this.exited = code ?? signal;
    });
  }

  waitForReady() {
    return new Promise((resolve, reject) => {
      const limit = setTimeout(() => finish(new Error('the server did not start in time')), START_LIMIT_MS);
      const check = () => {
        if (this.output.includes(READY_LINE)) finish();
        else if (this.exited !== null) finish(new Error(`the server ended (${this.exited})`));
      };
      const finish = (error) => {
        clearTimeout(limit);
        this.child.stdout.off('data', check);
        this.child.off('exit', check);
        if (error) reject(new Error(`${error.message}\n${this.output}\n${this.errors}`));
        else resolve();
      };
      this.child.stdout.on('data', check);
      this.child.on('exit', check);
      check();
    });
  }

  // Kills the program with SIGKILL, as a crash or a power cut would end it, and
  // starts it again on the same port with the same folders.
  async killAndRestart() {
    if (this.exited === null) {
      const ended = new Promise((resolve) => this.child.once('exit', resolve));
      this.child.kill('SIGKILL');
      await ended;
    }
    const program = path.join(BINARY_DIR, 'app/veltocorvane');
    const child = spawn(program, ['--headless', '--port', String(this.port)], { env: this.env, stdio: ['ignore', 'pipe', 'pipe'] });
    this.child = child;
    this.output = '';
    this.exited = null;
    child.stdout.on('data', (chunk) => {
      this.output += chunk;
    });
    child.stderr.on('data', (chunk) => {
      this.errors += chunk;
    });
    child.on('exit', (code, signal) => {
      this.exited = code ?? signal;
    });
    await this.waitForReady();
  }

  // The freedesktop.org home trash of the program's user.
  get trashFiles() {
    return path.join(this.folders['data-home'], 'Trash/files');
  }

  async request(method, url, body, headers = {}) {
    const init = { method, headers: { ...headers } };
    if (method !== 'GET' && method !== 'HEAD') init.headers['X-VeltoCorvane'] = '1';
    if (body !== undefined) {
      init.headers['Content-Type'] = 'application/json';
      init.body = typeof body === 'string' ? body : JSON.stringify(body);
    }
    const response = await fetch(this.base + url, init);
    const text = await response.text();
    let data = {};
    try {
      data = JSON.parse(text);
    } catch {
      data = {};
    }
    return { status: response.status, data };
  }

  async stop() {
    if (this.exited === null) {
      const ended = new Promise((resolve) => this.child.once('exit', resolve));
      this.child.kill('SIGTERM');
      await Promise.race([ended, new Promise((resolve) => setTimeout(resolve, 10000))]);
      if (this.exited === null) this.child.kill('SIGKILL');
    }
    fs.rmSync(this.root, { recursive: true, force: true });
  }
}

// Routes that other parts of the server may not have yet. Each probe sends a
// request that the route refuses without changing anything; a 404 or 405 from
// the dispatcher means the route is not there.
const ROUTE_PROBES = {
  upload: async (server, shareName) => {
    const reply = await server.request('PUT', `/files/${encodeURIComponent(shareName)}/`, '');
    return reply.status !== 405;
  },
  mkdir: async (server, shareName) => {
    const reply = await server.request('POST', '/api/mkdir', { share: shareName, path: '' });
    return !(reply.status === 404 && reply.data.error === 'notFound') && reply.status !== 405;
  },
  rename: async (server, shareName) => {
    const reply = await server.request('POST', '/api/rename', { share: shareName, path: '', newName: 'x' });
    return !(reply.status === 404 && reply.data.error === 'notFound') && reply.status !== 405;
  },
  delete: async (server, shareName) => {
    const reply = await server.request('POST', '/api/delete', { share: shareName, paths: [] });
    return !(reply.status === 404 && reply.data.error === 'notFound') && reply.status !== 405;
  },
  zip: async (server, shareName) => {
    const reply = await server.request('POST', '/api/zip', { share: shareName, path: '', names: [] });
    return !(reply.status === 404 && reply.data.error === 'notFound') && reply.status !== 405;
  },
  // Needs the path of a real picture in the share: the route answers a
  // picture with 200 or "noThumbnail", never with "notFound".
  thumb: async (server, shareName, picture) => {
    const query = new URLSearchParams({ share: shareName, path: picture, size: '96' });
    const reply = await server.request('GET', '/api/thumb?' + query.toString());
    return !(reply.status === 404 && reply.data.error === 'notFound') && reply.status !== 405;
  },
};

// Skips the test (with the reason) unless every named route answers.
export async function needRoutes(t, server, shareName, names, picture) {
  const missing = [];
  for (const name of names) {
    if (!(await ROUTE_PROBES[name](server, shareName, picture))) missing.push(name);
  }
  if (missing.length === 0) return true;
  t.skip(`the server has no ${missing.join(', ')} route yet (it answers 404/405)`);
  return false;
}

export const LAUNCH_FLAGS = [
  '--headless',
  '--no-sandbox',
  '--disable-gpu',
  '--disable-quic',
  '--no-first-run',
  '--disable-background-networking',
  '--disable-component-update',
  '--disable-sync',
];

// Debian's chromium with a fresh profile (playwright gives every launch its
// own new --user-data-dir) and HOME and XDG folders of its own.
export async function launchBrowser(label = 'browser') {
  if (!fs.existsSync(CHROMIUM)) throw new Error(`${CHROMIUM} is missing: run scripts/install-deps.sh`);
  const root = tempRoot(label);
  const env = { ...process.env, HOME: root, XDG_CONFIG_HOME: path.join(root, 'config'), XDG_CACHE_HOME: path.join(root, 'cache'), XDG_DATA_HOME: path.join(root, 'data') };
  const browser = await chromium.launch({
    executablePath: CHROMIUM,
    headless: true,
    args: LAUNCH_FLAGS,
    env,
    downloadsPath: path.join(root, 'downloads'),
  });
  const close = browser.close.bind(browser);
  browser.close = async () => {
    await close();
    fs.rmSync(root, { recursive: true, force: true });
  };
  return browser;
}

// A page on the server with the given locale and colour scheme; dialogs that
// scripts open (alert and the like) fail the test through `page.scriptDialogs`.
// `bypassCSP` lets a test add scripts of its own, such as the axe-core audit.
export async function openPage(browser, server, { locale = 'en-US', colorScheme = 'light', width = 1280, height = 800, isMobile = false, hash = '#/', beforeLoad, bypassCSP = false } = {}) {
  const context = await browser.newContext({
    bypassCSP,
    locale,
    colorScheme,
    viewport: { width, height },
    isMobile,
    hasTouch: isMobile,
    deviceScaleFactor: 1,
    acceptDownloads: true,
  });
  const page = await context.newPage();
  page.scriptDialogs = [];
  page.on('dialog', async (dialog) => {
    if (dialog.type() === 'beforeunload') {
      await dialog.accept();
      return;
    }
    page.scriptDialogs.push(`${dialog.type()}: ${dialog.message()}`);
    await dialog.dismiss();
  });
  page.pageErrors = [];
  page.on('pageerror', (error) => page.pageErrors.push(String(error)));
  if (beforeLoad) await beforeLoad(page);
  await page.goto(server.base + '/' + hash);
  return page;
}

// Waits until the folder view or the share list has finished loading. Two
// frames first, so that a navigation just made has begun.
export async function settled(page) {
  await page.evaluate(() => new Promise((resolve) => requestAnimationFrame(() => requestAnimationFrame(resolve))));
  await page.waitForFunction(() => document.getElementById('content').getAttribute('aria-busy') === 'false');
}

const AXE_SCRIPT = path.join(SOURCE_DIR, 'node_modules/axe-core/axe.min.js');
const AXE_FAILING = new Set(['critical', 'serious']);

// The critical and serious findings of axe-core on the page as it is now,
// one line each with the rule and the elements. The page needs `bypassCSP`.
export async function axeFindings(page) {
  if (!(await page.evaluate(() => 'axe' in window))) {
    await page.addScriptTag({ content: fs.readFileSync(AXE_SCRIPT, 'utf8') });
  }
  const violations = await page.evaluate(async () => (await window.axe.run(document, { resultTypes: ['violations'] })).violations
    .map((rule) => ({ id: rule.id, impact: rule.impact, nodes: rule.nodes.map((node) => node.target.join(' ')) })));
  return violations.filter((rule) => AXE_FAILING.has(rule.impact))
    .map((rule) => `${rule.id} (${rule.impact}): ${rule.nodes.join(', ')}`);
}

export async function screenshot(page, name) {
  fs.mkdirSync(path.join(ARTEFACTS, 'screenshots'), { recursive: true });
  await page.screenshot({ path: path.join(ARTEFACTS, 'screenshots', name + '.png') });
}

// Names of the entries of a ZIP archive with their contents, read by Python's zipfile.
export function readZip(file) {
  const script = 'import json, sys, zipfile\n' +
    'with zipfile.ZipFile(sys.argv[1]) as z:\n' +
    '    bad = z.testzip()\n' +
    '    print(json.dumps({"bad": bad, "entries": {i.filename: z.read(i).decode("utf-8", "replace") for i in z.infolist()}}))\n';
  return JSON.parse(execFileSync('python3', ['-c', script, file], { encoding: 'utf8' }));
}

// A small real JPEG (a gradient) made by the browser's own encoder.
export async function makeJpeg(page, width = 64, height = 48) {
  const dataUrl = await page.evaluate(([w, h]) => {
    const canvas = document.createElement('canvas');
    canvas.width = w;
    canvas.height = h;
    const g = canvas.getContext('2d');
    const gradient = g.createLinearGradient(0, 0, w, h);
    gradient.addColorStop(0, '#2563eb');
    gradient.addColorStop(1, '#f0b429');
    g.fillStyle = gradient;
    g.fillRect(0, 0, w, h);
    return canvas.toDataURL('image/jpeg', 0.9);
  }, [width, height]);
  return Buffer.from(dataUrl.split(',')[1], 'base64');
}
