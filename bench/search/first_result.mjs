// Times the web client in Debian's headless chromium from navigation start
// to the first search result row on screen (the frame after it enters the
// page), for each word, against a server already running.
// Usage: node bench/search/first_result.mjs BASE-URL RUNS WORD...

import { launchBrowser } from '../../tests/e2e/support/harness.mjs';

const [base, runsText, ...words] = process.argv.slice(2);
const runs = Number(runsText || 5);

function median(values) {
  const sorted = [...values].sort((a, b) => a - b);
  return sorted[Math.floor(sorted.length / 2)];
}

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

const browser = await launchBrowser('bench-search');
try {
  for (const word of words) {
    const times = [];
    for (let run = 0; run < runs; run++) {
      const context = await browser.newContext({ locale: 'en-US', viewport: { width: 1280, height: 800 } });
      const page = await context.newPage();
      await page.addInitScript(watchRows);
      await page.goto(`${base}/#/bench?search=${encodeURIComponent(word)}`);
      await page.waitForFunction(() => window.benchTimes && window.benchTimes.first !== undefined, null, { timeout: 60000 });
      times.push(await page.evaluate(() => window.benchTimes.first));
      await context.close();
    }
    const shown = times.map((value) => value.toFixed(0)).join(' ');
    const label = JSON.stringify(word);
    // Padded by the width on screen: a Hangul syllable takes two columns.
    const width = [...label].reduce((sum, c) => sum + (/[\u1100-\u115f\u2e80-\ua4cf\uac00-\ud7a3\uf900-\ufaff\uff00-\uff60]/.test(c) ? 2 : 1), 0);
    console.log(`${label + ' '.repeat(Math.max(0, 24 - width))} first result row  median ${median(times).toFixed(0).padStart(5)} ms   best ${Math.min(...times).toFixed(0).padStart(5)} ms   (${shown})`);
  }
} finally {
  await browser.close();
}
