'use strict';

// Share links in the web client: the page a link's visitor sees (the link's
// folder, its one file, or an upload-only drop box), and for signed-in
// accounts the dialog that makes links and the list of their own links.
// Loaded before app.js, whose helpers and state these functions use when
// they run.

// The location of the "My links" list. Share names never hold ':', so it
// cannot name a share.
const MY_LINKS = ':links';
const LINK_LABEL_MAX = 100;
const LINK_EXPIRIES = ['hour', 'day', 'week', 'month', 'never'];

// ---------------------------------------------------------------------------
// The link the session opened last, from /api/session; null when the answer
// has none or a malformed one.

function sessionLink(raw) {
  if (!raw || typeof raw !== 'object') return null;
  if (typeof raw.share !== 'string' || !raw.share.startsWith(':')) return null;
  return {
    id: typeof raw.id === 'string' ? raw.id : raw.share.slice(1),
    share: raw.share,
    name: typeof raw.name === 'string' && raw.name !== '' ? raw.name : raw.share,
    mode: raw.mode === 'upload' ? 'upload' : 'view',
    file: raw.file === true,
    locked: raw.locked === true,
    expires: Number.isFinite(raw.expires) ? raw.expires : 0,
  };
}

function isLinkShare(share) {
  return LINK_PAGE && state.session.link !== null && share === state.session.link.share;
}

// The name a share goes by on the page: a link shows its own name.
function shareTitle(share) {
  return isLinkShare(share) ? state.session.link.name : share;
}

function isFileLink() {
  return isLinkShare(state.share) && state.session.link.file;
}

function isDropBox() {
  return isLinkShare(state.share) && state.session.link.mode === 'upload';
}

// Accounts make links of what they see in their shares; a link's own
// visitors cannot hand it on.
function canMakeLinks() {
  return !LINK_PAGE && state.session.user !== null && state.share !== null && !state.share.startsWith(':');
}

function renderLinkUser() {
  const user = state.session.user;
  ui.linkUser.hidden = !LINK_PAGE || user === null;
  ui.linkUser.textContent = user !== null ? t('signedInAs', { name: user }) : '';
  ui.linksLink.hidden = LINK_PAGE || user === null;
}

function wireLinks() {
  ui.linkButton.addEventListener('click', () => {
    const names = state.path.slice();
    openLinkDialog({
      share: state.share,
      path: names.join('/'),
      name: names.length > 0 ? names[names.length - 1] : state.share,
      folder: true,
      canUpload: state.permissions.includes('write'),
    });
  });
  ui.linkSelectedButton.addEventListener('click', () => {
    const items = selectedItems();
    if (items.length !== 1) return;
    const item = items[0];
    openLinkDialog({
      share: state.share,
      path: itemNames(item).join('/'),
      name: item.name,
      folder: item.dir,
      canUpload: item.dir && state.permissions.includes('write'),
    });
  });
  const d = linkDialogParts();
  d.form.addEventListener('submit', onLinkSubmit);
  d.cancel.addEventListener('click', () => closeLinkDialog());
  d.dialog.addEventListener('cancel', (event) => {
    event.preventDefault();
    closeLinkDialog();
  });
  d.copy.addEventListener('click', () => copyAddress(d.address.value, d.address));
  d.address.addEventListener('focus', () => d.address.select());
}

// ---------------------------------------------------------------------------
// A link's page.

function routeLink(parts) {
  const link = state.session.link;
  state.selected.clear();
  if (!state.session.answered) {
    // Without the session's answer the page cannot know its link yet.
    const retry = el('button', { class: 'button primary', type: 'button', text: t('retry') });
    retry.addEventListener('click', () => {
      ui.content.setAttribute('aria-busy', 'true');
      sessionLoaded = loadSession();
      sessionLoaded.then(route);
    });
    showLinkMessage(errorText(state.session.error), retry);
    return;
  }
  if (link === null) {
    showLinkMessage(t('linkGone'));
    return;
  }
  state.share = link.share;
  if (link.locked) {
    askLinkPassword();
    return;
  }
  if (link.mode === 'upload') {
    showDropBox();
    return;
  }
  state.path = link.file ? [] : parts;
  state.search = link.file ? null : searchOfLocation();
  if (state.search !== null) loadSearch();
  else loadFolder();
}

// The listing refused the link: it needs its password, or it is gone.
function linkRefused(code) {
  if (code === 'locked' && state.session.link !== null) {
    state.session.link.locked = true;
    askLinkPassword();
    return;
  }
  showLinkMessage(t('linkGone'));
}

function resetLinkPage() {
  ++state.loading;
  clearFolderView();
  ui.content.setAttribute('aria-busy', 'false');
  updateSelection();
}

// A page with only a message: the link is gone, or waits for its password.
function showLinkMessage(text, ...actions) {
  resetLinkPage();
  if (state.session.link === null) state.share = null;
  renderCrumbs(false);
  if (state.session.link === null) {
    ui.pageTitle.textContent = text;
    document.title = 'VeltoCorvane';
  }
  setMessage(text, true);
  if (actions.length > 0) {
    ui.messageActions.replaceChildren(...actions);
    ui.messageActions.hidden = false;
  }
}

async function askLinkPassword() {
  const link = state.session.link;
  resetLinkPage();
  renderCrumbs(false);
  const unlocked = await openDialog({
    title: t('linkUnlockTitle'),
    text: t('linkUnlockText', { name: link.name }),
    password: true,
    submit: async ({ password }) => {
      const reply = await api('POST', '/api/unlock', { share: link.share, password });
      return reply.ok ? null : errorText(reply.data);
    },
  });
  if (link !== state.session.link) return;
  if (unlocked) {
    link.locked = false;
    route();
    return;
  }
  const again = el('button', { class: 'button primary', type: 'button', text: t('enterPassword') });
  again.addEventListener('click', askLinkPassword);
  showLinkMessage(t('e_locked'), again);
}

// A link to one file: the file with its download, and the viewer over it
// when the browser can show it.
function showLinkedFile(items, permissions, key) {
  const item = items[0];
  state.items = items;
  state.permissions = Array.isArray(permissions) ? permissions.slice() : [];
  view.folderKey = key;
  view.sorted = items;
  view.shown = items;
  clearContent();
  ui.toolbar.hidden = true;
  setMessage('');
  setSummary();
  ui.content.setAttribute('aria-busy', 'false');
  updateSelection();
  if (!item) {
    setMessage(t('e_notFound'), true);
    return;
  }
  const url = fileUrl(state.share, itemNames(item));
  const viewable = item.inline && VIEWABLE_KINDS.has(item.kind);
  const download = el('a', { class: 'button primary', href: url, download: '' }, icon('down'), el('span', { text: t('download') }));
  download.addEventListener('click', (event) => {
    event.preventDefault();
    downloadFile(url);
  });
  const buttons = el('div', { class: 'link-file-buttons' });
  if (viewable) {
    const open = el('button', { class: 'button secondary', type: 'button', text: t('openFile') });
    open.addEventListener('click', () => openViewer(item));
    buttons.append(open);
  }
  buttons.append(download);
  const meta = [formatSize(item.size), formatFullDate(item.modified)].filter(Boolean).join(' · ');
  ui.content.replaceChildren(el('div', { class: 'panel link-file' },
    el('span', { class: 'link-file-thumb' }, thumbnail(item, THUMB_TILE_PX, 160)),
    el('h2', { class: 'link-file-name', text: item.name, title: item.name }),
    el('p', { class: 'link-file-meta', text: meta }),
    buttons));
  if (viewable) openViewer(item);
}

// ---------------------------------------------------------------------------
// The drop box: an upload-only link. Its visitors never see the folder;
// the page lists what they uploaded while it is open.

const dropBox = { uploaded: [] };

function showDropBox() {
  resetLinkPage();
  state.share = state.session.link.share;
  // What an upload-only link allows; the server holds it to that.
  state.permissions = ['write'];
  view.folderKey = folderKeyOf(state.share, []);
  renderCrumbs();
  renderDropBox();
}

function renderDropBox() {
  if (!isDropBox()) return;
  const link = state.session.link;
  const pickFiles = el('button', { class: 'button primary', type: 'button' }, icon('up'), el('span', { text: t('upload') }));
  pickFiles.addEventListener('click', () => ui.fileInput.click());
  const pickFolder = el('button', { class: 'button secondary', type: 'button' }, icon('folder-up'), el('span', { text: t('uploadFolder') }));
  pickFolder.addEventListener('click', () => ui.folderInput.click());
  const intro = el('div', { class: 'panel drop-intro' },
    icon('up', 'drop-intro-icon'),
    el('h2', { text: t('dropTitle', { name: link.name }) }),
    el('p', { text: t('dropText') }),
    el('div', { class: 'drop-intro-buttons' }, pickFolder, pickFiles));
  const heading = el('h2', { class: 'dropped-title', id: 'droppedTitle', text: t('uploadedHere') });
  let body;
  if (dropBox.uploaded.length === 0) {
    body = el('p', { class: 'dropped-none', text: t('nothingUploaded') });
  } else {
    body = el('ul', { class: 'dropped-list', 'aria-labelledby': 'droppedTitle' });
    for (const done of dropBox.uploaded) {
      body.append(el('li', { class: 'dropped-row' },
        icon('file', 'kind-other'),
        el('span', { class: 'dropped-name', text: done.path, title: done.path }),
        el('span', { class: 'dropped-size', text: formatSize(done.size) })));
    }
  }
  ui.content.replaceChildren(intro, el('section', { class: 'panel dropped' }, heading, body));
  const n = dropBox.uploaded.length;
  if (n === 0) setSummary();
  else setSummary(document.createTextNode(n === 1 ? t('file1') : t('files', { n: formatCount(n) })));
}

function noteDropBoxUpload(entry) {
  if (!LINK_PAGE || state.session.link === null || entry.share !== state.session.link.share) return;
  if (state.session.link.mode !== 'upload') return;
  const path = [...entry.base, ...entry.rel.slice(0, -1), entry.stored || entry.rel[entry.rel.length - 1]].join('/');
  dropBox.uploaded.push({ path, size: entry.file.size });
  renderDropBox();
}

// ---------------------------------------------------------------------------
// Making a link.

function linkDialogParts() {
  return {
    dialog: $('linkDialog'),
    form: $('linkForm'),
    target: $('linkTarget'),
    settings: $('linkSettings'),
    modeRow: $('linkModeRow'),
    expiry: $('linkExpiry'),
    password: $('linkPassword'),
    label: $('linkLabel'),
    result: $('linkResult'),
    address: $('linkAddress'),
    copy: $('linkCopy'),
    error: $('linkError'),
    cancel: $('linkCancel'),
    ok: $('linkOk'),
  };
}

const linkDialog = { target: null, made: null, busy: false, restoreFocus: null };

function openLinkDialog(target) {
  const d = linkDialogParts();
  linkDialog.target = target;
  linkDialog.made = null;
  linkDialog.busy = false;
  linkDialog.restoreFocus = document.activeElement;
  d.target.textContent = t('linkFor', { name: target.name });
  d.settings.hidden = false;
  d.result.hidden = true;
  d.modeRow.hidden = !target.folder || !target.canUpload;
  d.form.elements.linkMode.value = 'view';
  d.expiry.value = 'week';
  d.password.value = '';
  d.label.value = '';
  d.label.maxLength = LINK_LABEL_MAX;
  d.error.hidden = true;
  d.error.textContent = '';
  d.cancel.hidden = false;
  d.ok.disabled = false;
  d.ok.textContent = t('createLink');
  d.dialog.showModal();
  const first = d.modeRow.hidden ? d.expiry : d.form.querySelector('input[name="linkMode"]:checked');
  first.focus();
}

function closeLinkDialog() {
  const d = linkDialogParts();
  if (linkDialog.busy) return;
  if (d.dialog.open) d.dialog.close();
  d.password.value = '';
  const focus = linkDialog.restoreFocus;
  linkDialog.restoreFocus = null;
  linkDialog.target = null;
  if (focus && focus.isConnected && typeof focus.focus === 'function') focus.focus();
}

async function onLinkSubmit(event) {
  event.preventDefault();
  const d = linkDialogParts();
  if (linkDialog.made !== null) {
    closeLinkDialog();
    return;
  }
  const target = linkDialog.target;
  if (linkDialog.busy || target === null) return;
  const label = d.label.value.trim();
  if (label.length > LINK_LABEL_MAX) {
    showLinkError(t('linkLabelLong'), d.label);
    return;
  }
  const mode = target.folder && target.canUpload && d.form.elements.linkMode.value === 'upload' ? 'upload' : 'view';
  const expiry = LINK_EXPIRIES.includes(d.expiry.value) ? d.expiry.value : 'week';
  linkDialog.busy = true;
  d.ok.disabled = true;
  d.error.hidden = true;
  const reply = await api('POST', '/api/links', {
    share: target.share, path: target.path, mode, expiry, password: d.password.value, label,
  });
  linkDialog.busy = false;
  d.ok.disabled = false;
  if (!reply.ok || typeof reply.data.url !== 'string') {
    showLinkError(errorText(reply.ok ? { error: 'failed' } : reply.data), d.ok);
    return;
  }
  linkDialog.made = reply.data;
  d.password.value = '';
  d.settings.hidden = true;
  d.result.hidden = false;
  d.address.value = location.origin + reply.data.url;
  d.cancel.hidden = true;
  d.ok.textContent = t('done');
  d.copy.focus();
}

function showLinkError(text, focus) {
  const d = linkDialogParts();
  d.error.textContent = text;
  d.error.hidden = false;
  focus.focus();
}

// Puts an address on the clipboard; plain HTTP pages have no clipboard API,
// where the selected field is copied instead.
async function copyAddress(address, field) {
  try {
    await navigator.clipboard.writeText(address);
  } catch {
    if (field) {
      field.select();
      document.execCommand('copy');
    } else {
      const scratch = el('textarea', { class: 'visually-hidden', readonly: true });
      scratch.value = address;
      document.body.append(scratch);
      scratch.select();
      document.execCommand('copy');
      scratch.remove();
    }
  }
  toast(t('linkCopied'));
}

// ---------------------------------------------------------------------------
// My links: the signed-in account's links, with copy and revoke.

function renderLinksCrumbs() {
  const home = el('a', { class: 'crumb home', href: '#/' }, icon('home'));
  setLabel(home, t('shares'));
  ui.crumbs.replaceChildren(home, el('span', { class: 'crumb-sep' }, icon('right')),
    el('span', { class: 'crumb current', text: t('myLinks'), 'aria-current': 'page', title: t('myLinks') }));
  ui.pageTitle.textContent = t('myLinks');
  document.title = t('myLinks') + ' - VeltoCorvane';
}

async function showMyLinks() {
  state.share = null;
  clearFolderView();
  updateSelection();
  renderLinksCrumbs();
  const ticket = ++state.loading;
  ui.content.setAttribute('aria-busy', 'true');
  showLoadingLater(ticket);
  const [reply] = await Promise.all([api('GET', '/api/links'), sessionLoaded]);
  if (ticket !== state.loading) return;
  ui.content.setAttribute('aria-busy', 'false');
  clearContent();
  if (!reply.ok) {
    showLoadError(reply.data);
    return;
  }
  // Newest first; links of the same moment in the reverse of the server's order.
  const links = (Array.isArray(reply.data.links) ? reply.data.links : [])
    .filter((link) => link && typeof link.id === 'string' && typeof link.url === 'string')
    .map((link, index) => ({ link, index }))
    .sort((a, b) => (Number(b.link.created) || 0) - (Number(a.link.created) || 0) || b.index - a.index)
    .map(({ link }) => link);
  if (links.length === 0) {
    ui.content.replaceChildren(el('div', { class: 'panel empty-state' },
      icon('share'), el('h2', { text: t('noLinks') }), el('p', { text: t('noLinksHint') })));
    return;
  }
  const list = el('ul', { class: 'link-list' });
  for (const link of links) list.append(linkRow(link));
  ui.content.replaceChildren(el('div', { class: 'panel' }, list));
  setSummary(document.createTextNode(links.length === 1 ? t('links1') : t('linksCount', { n: formatCount(links.length) })));
}

function linkTargetText(link) {
  const path = typeof link.path === 'string' ? link.path : '';
  return path === '' ? String(link.share) : link.share + '/' + path;
}

function linkName(link) {
  if (typeof link.label === 'string' && link.label !== '') return link.label;
  const parts = linkTargetText(link).split('/').filter((part) => part !== '');
  return parts.length > 0 ? parts[parts.length - 1] : link.id;
}

function linkExpiryText(link) {
  const expires = Number(link.expires) || 0;
  if (expires === 0) return { text: t('linkNoExpiry'), expired: false };
  if (expires <= Date.now()) return { text: t('linkExpired'), expired: true };
  return { text: t('linkExpires', { date: formatFullDate(expires) }), expired: false };
}

function linkRow(link) {
  const name = linkName(link);
  const upload = link.mode === 'upload';
  const uses = Number(link.uses) || 0;
  const expiry = linkExpiryText(link);
  const details = el('span', { class: 'link-details' },
    el('span', { class: 'link-mode' + (upload ? ' upload' : ''), text: upload ? t('linkModeUploadShort') : t('linkModeView') }),
    el('span', { class: 'link-expiry' + (expiry.expired ? ' expired' : ''), text: expiry.text }),
    el('span', { class: 'link-uses', text: uses === 1 ? t('linkUses1') : t('linkUses', { n: formatCount(uses) }) }));
  if (link.hasPassword === true) details.append(el('span', { class: 'link-locked' }, icon('lock'), t('linkHasPassword')));
  const copy = el('button', { class: 'button secondary link-copy', type: 'button' }, el('span', { text: t('copyLink') }));
  setLabel(copy, t('copyLink') + ': ' + name);
  copy.addEventListener('click', () => copyAddress(location.origin + link.url));
  const revoke = el('button', { class: 'button tool danger link-revoke', type: 'button' }, icon('trash'), el('span', { class: 'label', text: t('revoke') }));
  setLabel(revoke, t('revoke') + ': ' + name);
  revoke.addEventListener('click', () => revokeLink(link, name));
  const target = linkTargetText(link);
  return el('li', { class: 'link-row' },
    el('span', { class: 'share-badge' }, icon(upload ? 'up' : 'share', 'kind-share-file')),
    el('span', { class: 'link-text' },
      el('span', { class: 'link-name', text: name, title: name }),
      el('span', { class: 'link-target', text: target, title: target }),
      details),
    el('span', { class: 'link-actions' }, copy, revoke));
}

function revokeLink(link, name) {
  openDialog({
    title: t('revokeTitle'),
    text: t('revokeText', { name }),
    danger: true,
    okText: t('revoke'),
    submit: async () => {
      const reply = await api('DELETE', '/api/links/' + enc(link.id));
      // Gone already is what was asked for.
      return reply.ok || reply.status === 404 ? null : errorText(reply.data);
    },
  }).then((ok) => {
    if (!ok) return;
    toast(t('revoked'));
    if (parseLocation().join('/') === MY_LINKS) showMyLinks();
  });
}
