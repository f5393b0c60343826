'use strict';

// ---------------------------------------------------------------------------
// Texts. Both languages hold the same keys; t() falls back to English and then
// to the key itself.

const TEXTS = {
  ko: {
    shares: '공유 목록',
    signIn: '로그인',
    signOut: '로그아웃',
    upload: '파일 올리기',
    uploadFolder: '폴더 올리기',
    newFolder: '새 폴더',
    download: '내려받기',
    rename: '이름 바꾸기',
    delete: '삭제',
    filter: '이 폴더에서 찾기',
    filterShort: '찾기',
    sortName: '이름순',
    sortModified: '날짜순',
    sortSize: '크기순',
    name: '이름',
    size: '크기',
    modified: '수정한 날짜',
    listView: '목록 보기',
    gridView: '바둑판 보기',
    selected: '{n}개 선택',
    empty: '이 폴더는 비어 있습니다.',
    noMatch: '찾는 이름이 없습니다.',
    noShares: '열 수 있는 공유 폴더나 파일이 없습니다.',
    locked: '비밀번호가 필요합니다',
    unlockTitle: '공유 폴더 열기',
    unlockText: '‘{name}’ 공유 폴더의 비밀번호를 입력하세요.',
    password: '비밀번호',
    userName: '사용자 이름',
    ok: '확인',
    cancel: '취소',
    signInTitle: '로그인',
    newFolderTitle: '새 폴더',
    newFolderLabel: '폴더 이름',
    renameTitle: '이름 바꾸기',
    renameLabel: '새 이름',
    deleteTitle: '삭제',
    deleteText: '선택한 {n}개 항목을 삭제할까요? 공유한 컴퓨터의 휴지통으로 이동합니다.',
    dropHere: '여기에 놓으면 이 폴더에 올립니다',
    uploading: '올리는 중 ({done}/{total})',
    uploadDone: '올리기 완료 ({done}/{total})',
    uploadEnded: '올리기 끝: 완료 {ok}개, 실패 {failed}개, 취소 {cancelled}개',
    waiting: '기다리는 중',
    done: '완료',
    failed: '실패',
    cancelled: '취소됨',
    cancelUpload: '올리기 취소',
    reconnecting: '다시 연결하는 중…',
    resumingFrom: '{percent}%부터 이어 올리는 중',
    resumedUpload: '{name}: 중단된 곳({percent}%)부터 이어 올립니다',
    cancelAll: '모두 취소',
    close: '닫기',
    previous: '이전',
    next: '다음',
    slideshow: '슬라이드쇼',
    truncated: '[파일의 앞부분 1MB만 표시합니다]',
    deleted: '{n}개 항목을 휴지통으로 옮겼습니다.',
    created: '폴더를 만들었습니다.',
    renamed: '이름을 바꿨습니다.',
    preparingZip: 'ZIP 파일을 만들어 내려받습니다.',
    sharesCount: '열 수 있는 폴더와 파일 {n}개',
    shares1: '열 수 있는 폴더와 파일 1개',
    signInHint: '로그인하면 계정에 권한이 있는 폴더와 파일도 열 수 있습니다.',
    davHint: '파일 관리자에서 드라이브로 열기 (WebDAV, 같은 이름과 암호):',
    davCopy: '주소 복사',
    davCopied: '주소를 복사했습니다.',
    canUpload: '파일 올리기 가능',
    viewOnly: '보기와 내려받기만 가능',
    folders: '폴더 {n}개',
    folder1: '폴더 1개',
    files: '파일 {n}개',
    file1: '파일 1개',
    emptyWrite: '파일을 이 화면에 끌어다 놓거나 ‘파일 올리기’를 누르세요.',
    parent: '상위 폴더',
    clearSelection: '선택 해제',
    selectAll: '모두 선택',
    loading: '불러오는 중…',
    retry: '다시 시도',
    sortBy: '정렬 기준',
    ascending: '오름차순',
    descending: '내림차순',
    toShares: '공유 목록으로',
    imageFailed: '사진을 불러오지 못했습니다.',
    downloadFailed: '내려받지 못했습니다.',
    savedAs: '완료: ‘{name}’(으)로 저장',
    filteredFrom: '(전체 {n}개 중)',
    nameEmpty: '이름을 입력하세요.',
    nameDots: '이름은 ‘.’이나 ‘..’일 수 없습니다.',
    nameChars: '이름에 ‘/’나 제어 문자를 쓸 수 없습니다.',
    nameLong: '이름이 255바이트보다 깁니다.',
    e_badLogin: '사용자 이름이나 비밀번호가 틀렸습니다.',
    e_badPassword: '비밀번호가 틀렸습니다.',
    e_tooMany: '너무 여러 번 틀렸습니다. {s}초 뒤에 다시 시도하세요.',
    e_forbidden: '이 작업을 할 권한이 없습니다.',
    e_signIn: '로그인해야 합니다.',
    e_notFound: '찾을 수 없습니다. 이동했거나 삭제되었을 수 있습니다.',
    e_exists: '같은 이름이 이미 있습니다.',
    e_noSpace: '공유한 컴퓨터의 디스크 공간이 부족합니다.',
    e_tooLarge: '이 공유 폴더에 올릴 수 있는 크기보다 큽니다.',
    e_noRecycleBin: '휴지통으로 옮길 수 없는 항목이 있어 삭제하지 않았습니다. 공유한 컴퓨터에서 삭제하세요.',
    e_busy: '다른 프로그램이 사용 중입니다.',
    e_denied: '공유한 컴퓨터에서 이 항목에 접근할 수 없습니다.',
    e_shareMissing: '공유한 폴더가 컴퓨터에 없습니다.',
    e_badName: '이름에 쓸 수 없는 문자가 있습니다.',
    e_badPath: '경로가 올바르지 않습니다.',
    e_locked: '비밀번호를 입력해야 열 수 있습니다.',
    e_network: '서버에 연결할 수 없습니다.',
    e_failed: '작업을 마치지 못했습니다.',
    e_aborted: '전송이 중간에 끊겼습니다.',
    searchShare: '이 공유에서 찾기',
    searchTitle: '‘{q}’ 찾기 결과',
    searching: '찾는 중…',
    searchCount: '찾은 항목 {n}개',
    search1: '찾은 항목 1개',
    searchTruncated: '처음 {n}개만 보여 줍니다. 낱말을 더 넣어 좁혀 보세요.',
    searchNone: '이름에 ‘{q}’이(가) 들어간 항목이 없습니다.',
    inFolder: '위치: {folder}',
    e_searchBusy: '이 기기에서 진행 중인 찾기가 많습니다. 잠시 뒤에 다시 시도하세요.',
    e_notFolder: '올리기만 하는 링크는 폴더에만 만들 수 있습니다.',
    shareLink: '링크 공유',
    myLinks: '내 링크',
    linkTitle: '링크로 공유',
    linkFor: '주소를 아는 사람 누구나 ‘{name}’을(를) 열 수 있는 링크를 만듭니다.',
    linkMode: '방문자가 할 수 있는 일',
    linkModeView: '보기와 내려받기',
    linkModeUpload: '파일 올리기만 (폴더 내용은 볼 수 없음)',
    linkExpiry: '만료',
    expiryHour: '1시간 뒤',
    expiryDay: '1일 뒤',
    expiryWeek: '1주 뒤',
    expiryMonth: '1개월 뒤',
    expiryNever: '만료 없음',
    linkPassword: '비밀번호 (선택)',
    linkLabel: '이름표 (선택)',
    createLink: '링크 만들기',
    linkAddress: '링크 주소',
    copyLink: '복사',
    linkCopied: '링크를 복사했습니다.',
    linkReady: '링크를 만들었습니다. 만료되거나 ‘내 링크’에서 삭제할 때까지 주소를 아는 누구나 쓸 수 있습니다.',
    linkLabelLong: '이름표는 100자까지 쓸 수 있습니다.',
    noLinks: '만든 링크가 없습니다.',
    noLinksHint: '폴더를 열거나 파일이나 폴더 하나를 선택한 뒤 ‘링크 공유’를 누르세요.',
    linksCount: '링크 {n}개',
    links1: '링크 1개',
    linkExpires: '{date}에 만료',
    linkNoExpiry: '만료 없음',
    linkExpired: '만료됨',
    linkUses: '{n}번 열림',
    linkUses1: '1번 열림',
    linkModeViewShort: '보기',
    linkModeUploadShort: '올리기만',
    linkHasPassword: '비밀번호',
    revoke: '링크 삭제',
    revokeTitle: '링크 삭제',
    revokeText: '‘{name}’ 링크를 삭제할까요? 이 주소로는 더 이상 열 수 없습니다.',
    revoked: '링크를 삭제했습니다.',
    linkUnlockTitle: '링크 열기',
    linkUnlockText: '‘{name}’ 링크의 비밀번호를 입력하세요.',
    enterPassword: '비밀번호 입력',
    linkGone: '이 링크는 더 이상 유효하지 않습니다.',
    signedInAs: '{name}(으)로 로그인됨',
    dropTitle: '‘{name}’에 올리기',
    dropText: '파일이나 폴더를 이 화면에 끌어다 놓거나 골라 주세요. 폴더의 내용은 보이지 않고, 이번에 올린 항목만 아래에 표시됩니다.',
    uploadedHere: '이번에 올린 항목',
    nothingUploaded: '아직 올린 항목이 없습니다.',
    openFile: '열기',
  },
  en: {
    shares: 'Shared',
    signIn: 'Sign in',
    signOut: 'Sign out',
    upload: 'Upload files',
    uploadFolder: 'Upload folder',
    newFolder: 'New folder',
    download: 'Download',
    rename: 'Rename',
    delete: 'Delete',
    filter: 'Filter this folder',
    filterShort: 'Filter',
    sortName: 'Name',
    sortModified: 'Date',
    sortSize: 'Size',
    name: 'Name',
    size: 'Size',
    modified: 'Date modified',
    listView: 'List view',
    gridView: 'Grid view',
    selected: '{n} selected',
    empty: 'This folder is empty.',
    noMatch: 'No names match.',
    noShares: 'Nothing is shared that you can open.',
    locked: 'Password required',
    unlockTitle: 'Open shared folder',
    unlockText: 'Enter the password of the shared folder “{name}”.',
    password: 'Password',
    userName: 'User name',
    ok: 'OK',
    cancel: 'Cancel',
    signInTitle: 'Sign in',
    newFolderTitle: 'New folder',
    newFolderLabel: 'Folder name',
    renameTitle: 'Rename',
    renameLabel: 'New name',
    deleteTitle: 'Delete',
    deleteText: 'Delete the {n} selected items? They go to the Trash of the sharing computer.',
    dropHere: 'Drop here to upload to this folder',
    uploading: 'Uploading ({done}/{total})',
    uploadDone: 'Upload finished ({done}/{total})',
    uploadEnded: 'Uploads ended: {ok} done, {failed} failed, {cancelled} cancelled',
    waiting: 'Waiting',
    done: 'Done',
    failed: 'Failed',
    cancelled: 'Cancelled',
    cancelUpload: 'Cancel upload',
    reconnecting: 'Reconnecting…',
    resumingFrom: 'Resuming from {percent}%',
    resumedUpload: '{name}: resuming where it stopped ({percent}%)',
    cancelAll: 'Cancel all',
    close: 'Close',
    previous: 'Previous',
    next: 'Next',
    slideshow: 'Slide show',
    truncated: '[Only the first 1 MB of the file is shown]',
    deleted: '{n} items moved to the Trash.',
    created: 'Folder created.',
    renamed: 'Renamed.',
    preparingZip: 'Downloading as a ZIP file.',
    sharesCount: '{n} folders and files you can open',
    shares1: '1 folder or file you can open',
    signInHint: 'Sign in to also open the folders and files your account has access to.',
    davHint: 'Open as a drive in your file manager (WebDAV, same name and password):',
    davCopy: 'Copy address',
    davCopied: 'Address copied.',
    canUpload: 'Can upload files',
    viewOnly: 'View and download only',
    folders: '{n} folders',
    folder1: '1 folder',
    files: '{n} files',
    file1: '1 file',
    emptyWrite: 'Drag files onto this page or click Upload files.',
    parent: 'Up one level',
    clearSelection: 'Clear selection',
    selectAll: 'Select all',
    loading: 'Loading…',
    retry: 'Retry',
    sortBy: 'Sort by',
    ascending: 'Ascending',
    descending: 'Descending',
    toShares: 'Shared folders',
    imageFailed: 'The image could not be loaded.',
    downloadFailed: 'The download failed.',
    savedAs: 'Done: saved as “{name}”',
    filteredFrom: '(filtered from {n})',
    nameEmpty: 'Enter a name.',
    nameDots: 'A name cannot be “.” or “..”.',
    nameChars: 'A name cannot contain “/” or control characters.',
    nameLong: 'The name is longer than 255 bytes.',
    e_badLogin: 'The user name or password is wrong.',
    e_badPassword: 'The password is wrong.',
    e_tooMany: 'Too many wrong tries. Try again in {s} seconds.',
    e_forbidden: 'You do not have permission to do this.',
    e_signIn: 'You need to sign in.',
    e_notFound: 'Not found. It may have been moved or deleted.',
    e_exists: 'An item with this name already exists.',
    e_noSpace: 'The sharing computer is out of disk space.',
    e_tooLarge: 'This is larger than this shared folder accepts.',
    e_noRecycleBin: 'Nothing was deleted: some items cannot go to the Trash. Delete them on the sharing computer.',
    e_busy: 'Another program is using it.',
    e_denied: 'The sharing computer cannot access this item.',
    e_shareMissing: 'The shared folder is missing on the computer.',
    e_badName: 'The name has characters that cannot be used.',
    e_badPath: 'The path is not valid.',
    e_locked: 'Enter the password to open it.',
    e_network: 'Cannot reach the server.',
    e_failed: 'The operation did not finish.',
    e_aborted: 'The transfer was cut off.',
    searchShare: 'Search this share',
    searchTitle: 'Results for “{q}”',
    searching: 'Searching…',
    searchCount: '{n} items found',
    search1: '1 item found',
    searchTruncated: 'Only the first {n} are shown. Add words to narrow the search.',
    searchNone: 'No names contain “{q}”.',
    inFolder: 'In {folder}',
    e_searchBusy: 'Too many searches are running from this device. Try again in a moment.',
    e_notFolder: 'An upload-only link can only be made for a folder.',
    shareLink: 'Share link',
    myLinks: 'My links',
    linkTitle: 'Share as a link',
    linkFor: 'Anyone with the address of this link can open “{name}”.',
    linkMode: 'Visitors can',
    linkModeView: 'View and download',
    linkModeUpload: 'Upload only (the folder’s contents stay hidden)',
    linkExpiry: 'Expires',
    expiryHour: 'In an hour',
    expiryDay: 'In a day',
    expiryWeek: 'In a week',
    expiryMonth: 'In a month',
    expiryNever: 'Never',
    linkPassword: 'Password (optional)',
    linkLabel: 'Label (optional)',
    createLink: 'Create link',
    linkAddress: 'Link address',
    copyLink: 'Copy',
    linkCopied: 'Link copied.',
    linkReady: 'The link is ready. Anyone with the address can use it until it expires or you revoke it in My links.',
    linkLabelLong: 'A label can have at most 100 characters.',
    noLinks: 'You have not made any links.',
    noLinksHint: 'Open a folder, or select one file or folder, and choose Share link.',
    linksCount: '{n} links',
    links1: '1 link',
    linkExpires: 'Expires {date}',
    linkNoExpiry: 'No expiry',
    linkExpired: 'Expired',
    linkUses: 'Opened {n} times',
    linkUses1: 'Opened once',
    linkModeViewShort: 'View',
    linkModeUploadShort: 'Upload only',
    linkHasPassword: 'Password',
    revoke: 'Revoke',
    revokeTitle: 'Revoke link',
    revokeText: 'Revoke the link “{name}”? Its address stops working at once.',
    revoked: 'Link revoked.',
    linkUnlockTitle: 'Open link',
    linkUnlockText: 'Enter the password of the link “{name}”.',
    enterPassword: 'Enter password',
    linkGone: 'This link is no longer valid.',
    signedInAs: 'Signed in as {name}',
    dropTitle: 'Upload to “{name}”',
    dropText: 'Drag files or folders onto this page, or choose them. The folder’s contents stay hidden: only what you upload in this visit is listed below.',
    uploadedHere: 'Uploaded in this visit',
    nothingUploaded: 'Nothing uploaded yet.',
    openFile: 'Open',
  },
};

// The server's rule for a new item name: 1 to 255 bytes of UTF-8, not "." or
// "..", no "/" and no control character. Anything else Linux allows is a name.
// Gives the text that says what is wrong with the name, or null.
const MAX_NAME_BYTES = 255;
function nameProblem(name) {
  if (name === '') return t('nameEmpty');
  if (name === '.' || name === '..') return t('nameDots');
  if (/[\u0000-\u001f\u007f/]/.test(name)) return t('nameChars');
  if (new TextEncoder().encode(name).length > MAX_NAME_BYTES) return t('nameLong');
  return null;
}

const LANG = /^ko/i.test(navigator.language || '') ? 'ko' : 'en';

// The page served at a link's address (/s/<token>) shows only that link's
// target, which every call names by the link's share name ":<id>".
const LINK_PAGE = location.pathname.startsWith('/s/');

function t(key, vars) {
  let text = TEXTS[LANG][key] ?? TEXTS.en[key] ?? key;
  if (vars) {
    text = text.replace(/\{(\w+)\}/g, (whole, name) =>
      Object.prototype.hasOwnProperty.call(vars, name) ? String(vars[name]) : whole);
  }
  return text;
}

// The text for an error reply ({error, retryAfter}); unknown codes read as "failed".
function errorText(reply) {
  const code = reply && typeof reply.error === 'string' ? reply.error : 'failed';
  const key = 'e_' + code;
  if (!Object.prototype.hasOwnProperty.call(TEXTS.en, key)) return t('e_failed');
  if (code === 'tooMany') {
    const s = Number.isFinite(reply.retryAfter) ? reply.retryAfter : 60;
    return t(key, { s });
  }
  return t(key);
}

// ---------------------------------------------------------------------------
// Limits and sizes.

const TEXT_PREVIEW_BYTES = 1048576;
const SLIDE_MS = 4000;
const TOAST_MS = 4000;
// A listing that takes longer than this shows that it is on its way.
const LOADING_DELAY_MS = 300;
const PARALLEL_UPLOADS = 2;
const THUMB_LIST_PX = 96;
const THUMB_TILE_PX = 320;
// Both views build only the rows (of items or of tiles) near the screen, so a
// folder of any size lists, filters and scrolls at once.
const WINDOW_EXTRA_ROWS = 12;
const VIEWABLE_KINDS = new Set(['image', 'video', 'audio', 'text']);
const THUMB_KINDS = new Set(['image', 'video']);
const NARROW_QUERY = '(max-width: 560px)';

// ---------------------------------------------------------------------------
// Small helpers.

const $ = (id) => document.getElementById(id);
const SVG_NS = 'http://www.w3.org/2000/svg';

function storageGet(store, key) {
  try {
    return store.getItem(key);
  } catch {
    return null;
  }
}

function storageSet(store, key, value) {
  try {
    store.setItem(key, value);
  } catch {
    // Storage may be full or disabled; the page works without it.
  }
}

// Builds an element; every value is set as text or as an attribute through
// the DOM, never parsed as markup.
function el(tag, props, ...children) {
  const node = document.createElement(tag);
  if (props) {
    for (const [key, value] of Object.entries(props)) {
      if (value === undefined || value === null || value === false) continue;
      if (key === 'class') node.className = value;
      else if (key === 'text') node.textContent = value;
      else if (key in node && typeof value !== 'string') node[key] = value;
      else node.setAttribute(key, value === true ? '' : String(value));
    }
  }
  for (const child of children) {
    if (child !== null && child !== undefined && child !== false) node.append(child);
  }
  return node;
}

function icon(name, extraClass) {
  const svg = document.createElementNS(SVG_NS, 'svg');
  svg.setAttribute('class', extraClass ? 'icon ' + extraClass : 'icon');
  svg.setAttribute('aria-hidden', 'true');
  const use = document.createElementNS(SVG_NS, 'use');
  use.setAttribute('href', '#i-' + name);
  svg.append(use);
  return svg;
}

function setIcon(container, name) {
  const use = container.querySelector('use');
  if (use) use.setAttribute('href', '#i-' + name);
}

function setLabel(node, text) {
  node.setAttribute('aria-label', text);
  node.title = text;
}

const enc = encodeURIComponent;

function fileUrl(share, names) {
  return '/files/' + enc(share) + '/' + names.map(enc).join('/');
}

function thumbUrl(share, names, pixels) {
  return '/api/thumb?share=' + enc(share) + '&path=' + enc(names.join('/')) + '&size=' + pixels;
}

function locationFor(share, names) {
  // Inside a link the location holds only the path below the link's target.
  if (LINK_PAGE) return '#/' + names.map(enc).join('/');
  if (share === null) return '#/';
  return '#/' + [share, ...names].map(enc).join('/');
}

function searchLocationFor(share, names, query) {
  return locationFor(share, names) + '?search=' + enc(query);
}

// Sizes as the desktop program writes them.
function formatSize(bytes) {
  if (!(bytes >= 1024)) return Math.max(0, Math.floor(bytes || 0)) + ' B';
  const units = ['KB', 'MB', 'GB', 'TB'];
  let value = bytes / 1024;
  let unit = 0;
  while (value >= 1024 && unit < units.length - 1) {
    value /= 1024;
    unit++;
  }
  return (value >= 100 ? value.toFixed(0) : value.toFixed(1)) + ' ' + units[unit];
}

const dateFormats = {
  full: new Intl.DateTimeFormat(LANG, { dateStyle: 'medium', timeStyle: 'short' }),
  time: new Intl.DateTimeFormat(LANG, { hour: 'numeric', minute: '2-digit' }),
  monthDay: new Intl.DateTimeFormat(LANG, { month: 'short', day: 'numeric' }),
  monthDayYear: new Intl.DateTimeFormat(LANG, { year: 'numeric', month: 'short', day: 'numeric' }),
};

function formatFullDate(ms) {
  return ms > 0 ? dateFormats.full.format(ms) : '';
}

// The time for today, month and day for this year, else month, day and year.
function formatShortDate(ms) {
  if (!(ms > 0)) return '';
  const date = new Date(ms);
  const now = new Date();
  if (date.getFullYear() === now.getFullYear()) {
    if (date.getMonth() === now.getMonth() && date.getDate() === now.getDate()) {
      return dateFormats.time.format(date);
    }
    return dateFormats.monthDay.format(date);
  }
  return dateFormats.monthDayYear.format(date);
}

const countFormat = new Intl.NumberFormat(LANG);

// Counts with the language's thousands separators.
function formatCount(n) {
  return countFormat.format(n);
}

const collator = new Intl.Collator(LANG, { numeric: true, sensitivity: 'base' });

// ---------------------------------------------------------------------------
// Server calls.

// One API call. Resolves to {ok, status, data}; a network failure gives the
// code "network", a body that is not a JSON object reads as {}.
async function api(method, url, body) {
  const init = { method, credentials: 'same-origin', headers: {} };
  if (method !== 'GET') init.headers['X-VeltoCorvane'] = '1';
  if (body !== undefined) {
    init.headers['Content-Type'] = 'application/json';
    init.body = JSON.stringify(body);
  }
  let response;
  try {
    response = await fetch(url, init);
  } catch {
    return { ok: false, status: 0, data: { error: 'network' } };
  }
  let data = {};
  try {
    const parsed = JSON.parse(await response.text());
    if (parsed && typeof parsed === 'object' && !Array.isArray(parsed)) data = parsed;
  } catch {
    data = {};
  }
  if (!response.ok && typeof data.error !== 'string') data = { ...data, error: 'failed' };
  return { ok: response.ok, status: response.status, data };
}

// ---------------------------------------------------------------------------
// Client state.

const state = {
  session: { user: null, accounts: false, webdav: false, link: null, answered: false, error: null },
  share: null,
  path: [],
  items: [],
  permissions: [],
  selected: new Set(),
  view: storageGet(localStorage, 'vcs.view') === 'grid' ? 'grid' : 'list',
  sort: ['name', 'modified', 'size'].includes(storageGet(localStorage, 'vcs.sort'))
    ? storageGet(localStorage, 'vcs.sort') : 'name',
  descending: storageGet(localStorage, 'vcs.desc') === '1',
  filter: '',
  search: null, // the words of the search shown, null in a folder
  truncated: false, // the search stopped at its limits
  loading: 0,
};

// What the folder view shows, derived from the state: the sorted items and
// the ones that pass the filter.
const view = {
  folderKey: null, // share and path of the listing in state.items
  sorted: [],
  shown: [],
  rows: new Map(), // element per index of view.shown, for the items in the page
  windowed: null, // the container of the items while a folder shows
  layout: null, // {grid, columns, stride (px from one row to the next), width, gap, height (of a tile)}
  firstItem: 0, // index of the first item in the page
  anchor: -1, // index in view.shown where a Shift range starts
  place: null, // the mark of the history entry shown
  places: new Map(), // per history mark: {key, y, focus} when that entry was left
  restore: null, // the place to return to once the listing arrives
};

const ui = {};

// The first session answer; the share list waits for it to know whether to
// suggest signing in.
let sessionLoaded = Promise.resolve();

function isNarrow() {
  return window.matchMedia(NARROW_QUERY).matches;
}

// ---------------------------------------------------------------------------
// Start.

function start() {
  document.documentElement.lang = LANG;
  for (const id of ['pageTitle', 'crumbs', 'userButton', 'userName', 'toolbar', 'findTools', 'filter', 'searchButton', 'sort', 'sortDir',
    'viewButton', 'writeTools', 'newFolderButton', 'uploadFolderButton', 'uploadButton', 'content',
    'message', 'messageActions', 'summary', 'fileInput', 'folderInput', 'selectionTools', 'clearSelection',
    'selectionCount', 'downloadButton', 'renameButton', 'deleteButton', 'drop', 'uploads',
    'uploadTitle', 'uploadsCancel', 'uploadsClose', 'uploadList', 'toast', 'dialog', 'dialogForm',
    'dialogTitle', 'dialogText', 'dialogNameRow', 'dialogNameLabel', 'dialogName',
    'dialogPasswordRow', 'dialogPassword', 'dialogError', 'dialogCancel', 'dialogOk', 'viewer',
    'viewerTitle', 'viewerSlideshow', 'viewerDownload', 'viewerClose', 'viewerStage', 'viewerPrev',
    'viewerNext', 'linksLink', 'linkUser', 'linkTools', 'linkButton', 'linkSelectedButton']) {
    ui[id] = $(id);
  }
  // The page puts back the scroll position itself, once a listing is there.
  if ('scrollRestoration' in history) history.scrollRestoration = 'manual';
  applyTexts();
  wireEvents();
  wireLinks();
  sessionLoaded = loadSession();
  // A link page learns its link from the session before it shows anything,
  // and is busy until then.
  if (LINK_PAGE) {
    ui.content.setAttribute('aria-busy', 'true');
    sessionLoaded.then(route);
  } else {
    route();
  }
}

function applyTexts() {
  for (const node of document.querySelectorAll('[data-t]')) node.textContent = t(node.dataset.t);
  const labels = {
    clearSelection: 'clearSelection', newFolderButton: 'newFolder', uploadFolderButton: 'uploadFolder',
    uploadButton: 'upload', downloadButton: 'download', renameButton: 'rename', deleteButton: 'delete',
    viewerClose: 'close', uploadsClose: 'close', viewerPrev: 'previous', viewerNext: 'next',
    viewerSlideshow: 'slideshow', viewerDownload: 'download', searchButton: 'searchShare',
    linkButton: 'shareLink', linkSelectedButton: 'shareLink', linksLink: 'myLinks',
  };
  for (const [id, key] of Object.entries(labels)) setLabel(ui[id], t(key));
  ui.crumbs.setAttribute('aria-label', t('shares'));
  ui.sort.setAttribute('aria-label', t('sortBy'));
  updateFilterPlaceholder();
}

function updateFilterPlaceholder() {
  const text = isNarrow() ? t('filterShort') : t('filter');
  ui.filter.placeholder = text;
  ui.filter.setAttribute('aria-label', t('filter'));
}

function wireEvents() {
  window.addEventListener('hashchange', route);
  // A link to the place already shown loads it again (the browser sends no
  // hashchange for it), so the home link also works after an error.
  document.querySelector('header.bar').addEventListener('click', (event) => {
    const link = event.target.closest('a[href^="#"]');
    if (!link || event.button !== 0 || event.ctrlKey || event.metaKey || event.shiftKey || event.altKey) return;
    if (link.getAttribute('href') !== (location.hash.length > 1 ? location.hash : '#/')) return;
    event.preventDefault();
    route();
  });
  window.addEventListener('scroll', scheduleWindow, { passive: true });
  window.addEventListener('resize', () => {
    if (!view.windowed) return;
    // Row heights and tile columns follow the width; place everything again.
    for (const node of view.rows.values()) node.remove();
    view.rows = new Map();
    startWindow(view.windowed);
  });
  window.matchMedia(NARROW_QUERY).addEventListener('change', () => {
    updateFilterPlaceholder();
    updateSortTools();
  });
  window.addEventListener('beforeunload', (event) => {
    if (uploads.running.size > 0 || uploads.queue.length > 0) event.preventDefault();
  });

  ui.userButton.addEventListener('click', () => {
    if (state.session.user !== null) signOut();
    else signInDialog().then((ok) => ok && afterSignIn());
  });

  ui.filter.addEventListener('input', () => {
    // Results hold the words already; the box then only edits the next search.
    if (state.search !== null) return;
    state.filter = ui.filter.value;
    applyFilter();
  });
  ui.filter.addEventListener('keydown', (event) => {
    if (event.key !== 'Enter' || event.isComposing) return;
    event.preventDefault();
    searchShare();
  });
  ui.searchButton.addEventListener('click', searchShare);
  ui.sort.addEventListener('change', () => setSortKey(ui.sort.value));
  ui.sortDir.addEventListener('click', () => setSort(state.sort));
  ui.viewButton.addEventListener('click', () => {
    state.view = state.view === 'list' ? 'grid' : 'list';
    storageSet(localStorage, 'vcs.view', state.view);
    renderFolder();
  });

  ui.newFolderButton.addEventListener('click', newFolder);
  ui.uploadButton.addEventListener('click', () => ui.fileInput.click());
  ui.uploadFolderButton.addEventListener('click', () => ui.folderInput.click());
  ui.fileInput.addEventListener('change', () => {
    const files = [...ui.fileInput.files].map((file) => ({ file, rel: [file.name] }));
    ui.fileInput.value = '';
    startUploads(files, []);
  });
  ui.folderInput.addEventListener('change', () => {
    const files = [...ui.folderInput.files].map((file) => ({
      file,
      rel: (file.webkitRelativePath || file.name).split('/').filter((part) => part !== ''),
    }));
    ui.folderInput.value = '';
    startUploads(files, []);
  });

  ui.content.addEventListener('click', onContentClick);
  ui.content.addEventListener('keydown', onContentKey);
  // Image load errors do not bubble; listen while they go down.
  ui.content.addEventListener('error', onThumbError, true);

  ui.clearSelection.addEventListener('click', () => {
    state.selected.clear();
    updateSelection();
  });
  ui.downloadButton.addEventListener('click', downloadSelection);
  ui.renameButton.addEventListener('click', renameSelected);
  ui.deleteButton.addEventListener('click', deleteSelected);

  ui.uploadsCancel.addEventListener('click', cancelAllUploads);
  ui.uploadsClose.addEventListener('click', closeUploadPanel);
  ui.uploadList.addEventListener('click', (event) => {
    const button = event.target.closest('button[data-upload]');
    if (button) cancelUpload(uploads.entries[Number(button.dataset.upload)]);
  });

  document.addEventListener('dragenter', onDragEnter);
  document.addEventListener('dragover', onDragOver);
  document.addEventListener('dragleave', onDragLeave);
  document.addEventListener('drop', onDrop);

  ui.dialogForm.addEventListener('submit', onDialogSubmit);
  ui.dialogCancel.addEventListener('click', () => closeDialog(null));
  ui.dialog.addEventListener('cancel', (event) => {
    event.preventDefault();
    closeDialog(null);
  });
  // The browser may close a modal by itself (a repeated Escape); keep the
  // bookkeeping, and keep a dialog open while its request runs.
  ui.dialog.addEventListener('close', () => {
    if (!dialogState.resolve) return;
    if (dialogState.busy) ui.dialog.showModal();
    else closeDialog(null);
  });

  ui.viewerClose.addEventListener('click', closeViewer);
  ui.viewerPrev.addEventListener('click', () => moveViewer(-1, true));
  ui.viewerNext.addEventListener('click', () => moveViewer(1, true));
  ui.viewerSlideshow.addEventListener('click', toggleSlideshow);
  ui.viewerStage.addEventListener('touchstart', onViewerTouchStart, { passive: true });
  ui.viewerStage.addEventListener('touchend', onViewerTouchEnd, { passive: true });

  document.addEventListener('keydown', onDocumentKey);
}

// ---------------------------------------------------------------------------
// Session, sign-in and sign-out.

async function loadSession() {
  const reply = await api('GET', '/api/session');
  if (reply.ok) {
    state.session = {
      user: typeof reply.data.user === 'string' ? reply.data.user : null,
      accounts: reply.data.accounts === true,
      webdav: false,
      link: LINK_PAGE ? sessionLink(reply.data.link) : null,
      answered: true,
      error: null,
    };
    // WebDAV may be switched off: it answers OPTIONS with its classes when on.
    if (state.session.user !== null) {
      try {
        const probe = await fetch('/dav/', { method: 'OPTIONS', credentials: 'omit' });
        state.session.webdav = probe.ok && probe.headers.get('DAV') !== null;
      } catch {
        state.session.webdav = false;
      }
    }
  } else {
    state.session.error = reply.data;
  }
  renderUser();
}

function renderUser() {
  const { user, accounts } = state.session;
  renderLinkUser();
  ui.userButton.hidden = LINK_PAGE || (user === null && !accounts);
  ui.userName.textContent = user !== null ? user : t('signIn');
  // The name holds the shown user name outside parentheses, as screen readers'
  // voice commands expect the visible words in it.
  if (user !== null) setLabel(ui.userButton, t('signOut') + ': ' + user);
  else setLabel(ui.userButton, t('signIn'));
}

function signInDialog() {
  return openDialog({
    title: t('signInTitle'),
    nameLabel: t('userName'),
    name: '',
    password: true,
    okText: t('signIn'),
    autocomplete: 'username',
    submit: async ({ name, password }) => {
      const reply = await api('POST', '/api/login', { name, password });
      return reply.ok ? null : errorText(reply.data);
    },
  });
}

async function afterSignIn() {
  sessionLoaded = loadSession();
  await sessionLoaded;
  route();
}

async function signOut() {
  await api('POST', '/api/logout');
  sessionLoaded = loadSession();
  await sessionLoaded;
  if (location.hash === '#/' || location.hash === '' || location.hash === '#') route();
  else location.hash = '#/';
}

function unlockDialog(share) {
  return openDialog({
    title: t('unlockTitle'),
    text: t('unlockText', { name: share }),
    password: true,
    submit: async ({ password }) => {
      const reply = await api('POST', '/api/unlock', { share, password });
      return reply.ok ? null : errorText(reply.data);
    },
  });
}

// ---------------------------------------------------------------------------
// Routing.

// The words of a search location, or null for a folder.
function searchOfLocation() {
  const at = location.hash.indexOf('?');
  if (at < 0) return null;
  const query = new URLSearchParams(location.hash.slice(at + 1)).get('search');
  return query !== null && query.trim() !== '' ? query : null;
}

function parseLocation() {
  const full = location.hash.startsWith('#/') ? location.hash.slice(2) : '';
  const hash = full.includes('?') ? full.slice(0, full.indexOf('?')) : full;
  const parts = [];
  for (const part of hash.split('/')) {
    if (part === '') continue;
    try {
      parts.push(decodeURIComponent(part));
    } catch {
      return [];
    }
  }
  return parts;
}

function route() {
  closeViewer();
  rememberPlace();
  // Each history entry gets a mark when first shown; an entry that has one is
  // a return by Back or Forward, which goes back to where it was left.
  const mark = history.state && typeof history.state.place === 'string' ? history.state.place : null;
  if (mark === null) {
    view.place = Date.now().toString(36) + Math.random().toString(36).slice(2);
    history.replaceState({ place: view.place }, '');
    view.restore = null;
  } else {
    view.place = mark;
    view.restore = view.places.get(mark) || null;
  }
  const parts = parseLocation();
  if (LINK_PAGE) {
    routeLink(parts);
    return;
  }
  if (parts.length === 0) {
    showShares();
    return;
  }
  if (parts.length === 1 && parts[0] === MY_LINKS) {
    showMyLinks();
    return;
  }
  state.share = parts[0];
  state.path = parts.slice(1);
  state.search = searchOfLocation();
  if (state.search !== null) loadSearch();
  else loadFolder();
}

// `linked` false names the place without links to its parents, for a place
// that could not be opened: its parents may not exist either.
// Notes the scroll position and the focused item of the folder being left.
function rememberPlace() {
  if (view.place === null || view.folderKey === null) return;
  const holder = document.activeElement instanceof Element ? document.activeElement.closest('#content [data-index]') : null;
  const item = holder ? view.shown[Number(holder.dataset.index)] : null;
  view.places.set(view.place, { key: view.folderKey, y: window.scrollY, focus: item ? item.key : null });
}

function restorePlace(key) {
  const place = view.restore;
  view.restore = null;
  if (!place || place.key !== key) return;
  window.scrollTo(0, place.y);
  updateWindow();
  if (place.focus === null) return;
  const node = view.rows.get(view.shown.findIndex((item) => item.key === place.focus));
  node?.querySelector('a.name')?.focus({ preventScroll: true });
}

function renderCrumbs(linked = true) {
  const names = state.share === null ? [] : [state.share, ...state.path];
  const nodes = [];
  // A link's visitors know nothing above its target: its name comes first.
  if (!LINK_PAGE) {
    const home = el('a', { class: 'crumb home', href: '#/' }, icon('home'));
    setLabel(home, t('shares'));
    nodes.push(home);
  }
  if (names.length > 1 && linked) {
    const up = el('a', { class: 'crumb up', href: locationFor(names[0], names.slice(1, -1)), text: '…' });
    setLabel(up, t('parent'));
    nodes.push(el('span', { class: 'crumb-sep up' }, icon('right')), up);
  }
  const searching = state.search !== null && linked;
  if (names.length > 0) names[0] = shareTitle(names[0]);
  names.forEach((name, index) => {
    const last = index === names.length - 1 && !searching;
    const middle = !last && names.length > 1 ? ' middle' : '';
    if (nodes.length > 0) nodes.push(el('span', { class: 'crumb-sep' + middle }, icon('right')));
    if (last) {
      nodes.push(el('span', { class: 'crumb current', text: name, 'aria-current': 'page', title: name }));
    } else if (!linked) {
      nodes.push(el('span', { class: 'crumb plain' + middle, text: name }));
    } else {
      nodes.push(el('a', { class: 'crumb' + middle, href: locationFor(names[0], names.slice(1, index + 1)), text: name }));
    }
  });
  let title = names.length ? names[names.length - 1] : null;
  if (searching) {
    title = t('searchTitle', { q: state.search });
    nodes.push(el('span', { class: 'crumb-sep' }, icon('right')),
      el('span', { class: 'crumb current', text: title, 'aria-current': 'page', title }));
  }
  ui.crumbs.replaceChildren(...nodes);
  ui.pageTitle.textContent = title ?? t('shares');
  document.title = title !== null ? title + ' - VeltoCorvane' : 'VeltoCorvane';
}

function setMessage(text, isError) {
  ui.message.textContent = text || '';
  ui.message.hidden = !text;
  ui.message.classList.toggle('error', Boolean(isError));
  ui.messageActions.replaceChildren();
  ui.messageActions.hidden = true;
}

// The reason a listing failed, with the ways on: signing in when that is
// what it needs, trying again, and the share list.
function showLoadError(data) {
  setMessage(errorText(data), true);
  const actions = [];
  if (data.error === 'signIn') actions.push(signInButton('button primary'));
  const retry = el('button', { class: actions.length ? 'button secondary' : 'button primary', type: 'button', text: t('retry') });
  retry.addEventListener('click', route);
  actions.push(retry);
  if (state.share !== null && !LINK_PAGE) actions.push(el('a', { class: 'button secondary', href: '#/', text: t('toShares') }));
  ui.messageActions.replaceChildren(...actions);
  ui.messageActions.hidden = false;
}

function setSummary(...nodes) {
  ui.summary.replaceChildren(...nodes);
  ui.summary.hidden = nodes.length === 0;
}

// Shows a spinner in the empty folder area when the answer with this ticket
// is slow to come; any rendering of the answer replaces it.
function showLoadingLater(ticket) {
  setTimeout(() => {
    if (ticket !== state.loading || ui.content.getAttribute('aria-busy') !== 'true') return;
    if (ui.content.childElementCount > 0 || !ui.message.hidden) return;
    ui.content.replaceChildren(el('div', { class: 'panel loading-state', role: 'status' },
      el('span', { class: 'spinner', 'aria-hidden': 'true' }), el('span', { text: t('loading') })));
  }, LOADING_DELAY_MS);
}

function clearContent() {
  view.rows = new Map();
  view.windowed = null;
  ui.content.replaceChildren();
  ui.content.classList.remove('has-selection');
}

// ---------------------------------------------------------------------------
// Share list.

// Empties the page of whatever folder it showed: no items, no selection, no
// message and no toolbar.
function clearFolderView() {
  state.path = [];
  state.search = null;
  state.items = [];
  state.permissions = [];
  state.selected.clear();
  view.folderKey = null;
  view.sorted = [];
  view.shown = [];
  clearContent();
  setMessage('');
  setSummary();
  ui.toolbar.hidden = true;
}

async function showShares() {
  state.share = null;
  state.filter = '';
  ui.filter.value = '';
  clearFolderView();
  updateSelection();
  renderCrumbs();
  const ticket = ++state.loading;
  ui.content.setAttribute('aria-busy', 'true');
  showLoadingLater(ticket);
  const [reply] = await Promise.all([api('GET', '/api/shares'), sessionLoaded]);
  if (ticket !== state.loading) return;
  ui.content.setAttribute('aria-busy', 'false');
  clearContent();
  setMessage('');
  setSummary();
  if (!reply.ok) {
    showLoadError(reply.data);
    return;
  }
  const shares = (Array.isArray(reply.data.shares) ? reply.data.shares : [])
    .filter((share) => share && typeof share.name === 'string')
    .map((share) => ({
      name: share.name,
      permissions: Array.isArray(share.permissions) ? share.permissions : [],
      locked: share.locked === true,
      file: share.file === true,
    }));
  const wantsSignIn = state.session.accounts && state.session.user === null;

  if (shares.length === 0) {
    const box = el('div', { class: 'panel empty-state' },
      icon('share'), el('h2', { text: t('noShares') }));
    if (wantsSignIn) box.append(el('p', { text: t('signInHint') }), signInButton('button primary'));
    ui.content.replaceChildren(box);
    return;
  }

  if (shares.length === 1 && !shares[0].locked && storageGet(sessionStorage, 'vcs.sharesSeen') !== '1') {
    storageSet(sessionStorage, 'vcs.sharesSeen', '1');
    location.replace(locationFor(shares[0].name, []));
    return;
  }
  storageSet(sessionStorage, 'vcs.sharesSeen', '1');

  const list = el('ul', { class: 'share-list' });
  for (const share of shares) list.append(el('li', null, shareRow(share)));
  ui.content.replaceChildren(el('div', { class: 'panel' }, list));
  if (state.session.user !== null && state.session.webdav) ui.content.append(davAddressPanel());

  const summary = [document.createTextNode(shares.length === 1 ? t('shares1') : t('sharesCount', { n: formatCount(shares.length) }))];
  if (wantsSignIn) summary.push(el('span', { class: 'hint', text: t('signInHint') }), signInButton('text-button'));
  setSummary(...summary);
}

// The WebDAV address of the shares, for signed-in visitors to open them as a
// drive in their file manager.
function davAddressPanel() {
  const address = location.origin + '/dav/';
  const field = el('input', { class: 'dav-field', type: 'text', readonly: true, value: address, 'aria-label': t('davHint') });
  const copy = el('button', { class: 'button', type: 'button', text: t('davCopy') });
  copy.addEventListener('click', async () => {
    try {
      await navigator.clipboard.writeText(address);
    } catch {
      // Plain HTTP pages have no clipboard API: copy the selected field.
      field.select();
      document.execCommand('copy');
    }
    toast(t('davCopied'));
  });
  return el('div', { class: 'panel dav-address' }, el('p', { class: 'hint', text: t('davHint') }),
    el('div', { class: 'dav-row' }, field, copy));
}

function signInButton(className) {
  const button = el('button', { class: className, type: 'button', text: t('signIn') });
  button.addEventListener('click', () => signInDialog().then((ok) => ok && afterSignIn()));
  return button;
}

function shareRow(share) {
  const badge = el('span', { class: 'share-badge' },
    icon(share.file ? 'file' : 'folder', share.file ? 'kind-share-file' : 'kind-folder'));
  let note;
  if (share.locked) note = el('span', { class: 'share-note' }, icon('lock'), t('locked'));
  else note = el('span', { class: 'share-note', text: share.permissions.includes('write') ? t('canUpload') : t('viewOnly') });
  const row = el('a', { class: 'share-row', href: locationFor(share.name, []) },
    badge, el('span', { class: 'share-text' }, el('span', { class: 'share-name', text: share.name }), note));
  if (share.locked) {
    row.addEventListener('click', async (event) => {
      event.preventDefault();
      if (await unlockDialog(share.name)) location.hash = locationFor(share.name, []);
    });
  }
  return row;
}

// ---------------------------------------------------------------------------
// Folder view.

function folderKeyOf(share, path) {
  return JSON.stringify([share, ...path]);
}

function normalizeItem(raw) {
  if (!raw || typeof raw.name !== 'string' || raw.name === '') return null;
  const dir = raw.dir === true;
  return {
    name: raw.name,
    key: raw.name,
    lower: raw.name.toLowerCase(),
    dir,
    size: Number.isFinite(raw.size) ? raw.size : 0,
    modified: Number.isFinite(raw.modified) ? raw.modified : 0,
    kind: dir ? 'folder' : (['image', 'video', 'audio', 'text'].includes(raw.kind) ? raw.kind : 'other'),
    inline: !dir && raw.inline === true,
  };
}

async function loadFolder() {
  const share = state.share;
  const path = state.path.slice();
  const key = folderKeyOf(share, path);
  const changed = key !== view.folderKey;
  renderCrumbs();
  if (changed) {
    view.folderKey = null;
    state.items = [];
    state.permissions = [];
    state.selected.clear();
    state.filter = '';
    ui.filter.value = '';
    view.anchor = -1;
    clearContent();
    setMessage('');
    setSummary();
    ui.toolbar.hidden = true;
    updateSelection();
  }
  const ticket = ++state.loading;
  ui.content.setAttribute('aria-busy', 'true');
  showLoadingLater(ticket);
  const query = new URLSearchParams({ share, path: path.join('/') });
  const reply = await api('GET', '/api/list?' + query.toString());
  if (ticket !== state.loading) return;

  if (!reply.ok) {
    const code = reply.data.error;
    if (LINK_PAGE && (code === 'locked' || (code === 'notFound' && path.length === 0))) {
      linkRefused(code);
      return;
    }
    if (code === 'locked') {
      const unlocked = await unlockDialog(share);
      if (ticket !== state.loading) return;
      if (unlocked) loadFolder();
      else location.hash = '#/';
      return;
    }
    if (code === 'signIn') {
      const signedIn = await signInDialog();
      if (ticket !== state.loading) return;
      if (signedIn) {
        afterSignIn();
        return;
      }
    }
    view.folderKey = null;
    state.items = [];
    state.permissions = [];
    state.selected.clear();
    view.sorted = [];
    view.shown = [];
    clearContent();
    ui.toolbar.hidden = true;
    setSummary();
    updateSelection();
    ui.content.setAttribute('aria-busy', 'false');
    renderCrumbs(false);
    showLoadError(reply.data);
    return;
  }

  const items = (Array.isArray(reply.data.items) ? reply.data.items : []).map(normalizeItem).filter(Boolean);
  if (isFileLink()) {
    showLinkedFile(items, reply.data.permissions, key);
    return;
  }
  showItems(items, reply.data.permissions, key, changed);
}

// Puts a fresh set of items on the page: a new place starts at its top; the
// same place again keeps the selected items that are still there.
function showItems(items, permissions, key, changed) {
  state.items = items;
  state.permissions = Array.isArray(permissions) ? permissions.slice() : [];
  if (changed) {
    view.folderKey = key;
    window.scrollTo(0, 0);
  } else {
    const keys = new Set(items.map((item) => item.key));
    for (const selected of [...state.selected]) if (!keys.has(selected)) state.selected.delete(selected);
  }
  view.sorted = sortItems(items);
  renderFolder();
  if (changed) restorePlace(key);
}

// ---------------------------------------------------------------------------
// Search: the items below the folder whose names hold every word, shown as a
// folder view whose items each name their folder.

function searchShare() {
  const query = ui.filter.value.trim();
  if (state.share === null || query === '') return;
  location.hash = searchLocationFor(state.share, [], query);
}

async function loadSearch() {
  const share = state.share;
  const path = state.path.slice();
  const query = state.search;
  const key = folderKeyOf(share, path) + '?' + query;
  const changed = key !== view.folderKey;
  renderCrumbs();
  ui.filter.value = query;
  state.filter = '';
  if (changed) {
    view.folderKey = null;
    state.items = [];
    state.selected.clear();
    view.anchor = -1;
    clearContent();
    setSummary();
    updateSelection();
    setMessage(t('searching'));
  }
  const ticket = ++state.loading;
  ui.content.setAttribute('aria-busy', 'true');
  const reply = await api('GET', '/api/search?' + new URLSearchParams({ share, path: path.join('/'), q: query }).toString());
  if (ticket !== state.loading) return;
  if (!reply.ok) {
    view.folderKey = null;
    state.items = [];
    state.selected.clear();
    view.sorted = [];
    view.shown = [];
    clearContent();
    ui.toolbar.hidden = true;
    setSummary();
    updateSelection();
    ui.content.setAttribute('aria-busy', 'false');
    showLoadError(reply.data);
    return;
  }
  const items = [];
  for (const raw of Array.isArray(reply.data.items) ? reply.data.items : []) {
    const item = normalizeItem(raw);
    if (!item || typeof raw.path !== 'string') continue;
    item.folder = raw.path.split('/').filter((part) => part !== '');
    // The path below the searched folder: what selections, ZIP downloads
    // and deletions name.
    item.key = [...item.folder.slice(path.length), item.name].join('/');
    items.push(item);
  }
  state.truncated = reply.data.truncated === true;
  showItems(items, reply.data.permissions, key, changed);
}

function renderSearchSummary() {
  const n = state.items.length;
  if (n === 0) {
    setSummary();
    return;
  }
  const parts = [document.createTextNode(n === 1 ? t('search1') : t('searchCount', { n: formatCount(n) }))];
  if (state.truncated) parts.push(el('span', { class: 'hint', text: t('searchTruncated', { n: formatCount(n) }) }));
  setSummary(...parts);
}

// Under a result's name: a link to the folder that holds it.
function folderLink(item) {
  if (!item.folder) return null;
  const folder = [shareTitle(state.share), ...item.folder].join('/');
  const text = t('inFolder', { folder });
  return el('a', { class: 'in-folder', href: locationFor(state.share, item.folder), text, title: text });
}

function refreshFolder() {
  if (state.share === null) return;
  if (isDropBox()) {
    renderDropBox();
    return;
  }
  if (state.search !== null) loadSearch();
  else loadFolder();
}

function sortItems(items) {
  const direction = state.descending ? -1 : 1;
  const byName = (a, b) => collator.compare(a.name, b.name) || (a.name < b.name ? -1 : a.name > b.name ? 1 : 0);
  const key = state.sort;
  return items.slice().sort((a, b) => {
    if (a.dir !== b.dir) return a.dir ? -1 : 1;
    if (key === 'name') return direction * byName(a, b);
    const difference = key === 'size' ? a.size - b.size : a.modified - b.modified;
    if (difference !== 0) return difference < 0 ? -direction : direction;
    return byName(a, b);
  });
}

function filterItems(items) {
  const needle = state.filter.toLowerCase();
  if (needle === '') return items;
  return items.filter((item) => item.lower.includes(needle));
}

// A column header sets its key, or reverses the order when it is the key already.
function setSort(key) {
  if (key === state.sort) state.descending = !state.descending;
  else {
    state.sort = key;
    state.descending = key !== 'name';
  }
  sortChanged();
}

// The sort box only sets the key; the direction button next to it reverses.
function setSortKey(key) {
  if (key === state.sort) return;
  state.sort = key;
  state.descending = key !== 'name';
  sortChanged();
}

function sortChanged() {
  storageSet(localStorage, 'vcs.sort', state.sort);
  storageSet(localStorage, 'vcs.desc', state.descending ? '1' : '0');
  view.sorted = sortItems(state.items);
  renderFolder();
}

function applyFilter() {
  renderItems();
  renderFolderSummary();
}

function renderFolder() {
  const canWrite = state.permissions.includes('write') && state.search === null;
  const showFind = state.items.length > 1 || state.search !== null || state.items.some((item) => item.dir);
  ui.findTools.hidden = !showFind;
  ui.writeTools.hidden = !canWrite;
  ui.linkTools.hidden = !canMakeLinks() || state.search !== null;
  ui.toolbar.hidden = !showFind && !canWrite && ui.linkTools.hidden;
  updateSortTools();
  const other = state.view === 'list' ? 'grid' : 'list';
  setIcon(ui.viewButton, other);
  setLabel(ui.viewButton, other === 'grid' ? t('gridView') : t('listView'));
  renderItems();
  renderFolderSummary();
}

// Tiles have no column headers, and a phone's list has room for the name's
// only: there the sort box and the direction button sort.
function updateSortTools() {
  const boxed = state.view === 'grid' || isNarrow();
  ui.sort.hidden = !boxed;
  ui.sortDir.hidden = !boxed;
  ui.sort.value = state.sort;
  ui.sortDir.textContent = state.descending ? '↓' : '↑';
  setLabel(ui.sortDir, state.descending ? t('descending') : t('ascending'));
}

// Counts what the filter lets through, and then of how many.
function renderFolderSummary() {
  if (state.search !== null) {
    renderSearchSummary();
    return;
  }
  const counted = state.filter === '' ? state.items : view.shown;
  const folders = counted.filter((item) => item.dir).length;
  const files = counted.length - folders;
  const parts = [];
  if (folders > 0) parts.push(folders === 1 ? t('folder1') : t('folders', { n: formatCount(folders) }));
  if (files > 0) parts.push(files === 1 ? t('file1') : t('files', { n: formatCount(files) }));
  if (parts.length > 0 && counted !== state.items) parts[parts.length - 1] += ' ' + t('filteredFrom', { n: formatCount(state.items.length) });
  if (parts.length === 0) setSummary();
  else setSummary(document.createTextNode(parts.join(' · ')));
}

function renderItems() {
  clearContent();
  view.shown = filterItems(view.sorted);
  view.anchor = -1;
  ui.content.setAttribute('aria-busy', 'false');
  if (state.items.length === 0 && state.search !== null) {
    setMessage(t('searchNone', { q: state.search }));
    updateSelection();
    return;
  }
  if (state.items.length === 0) {
    setMessage('');
    const box = el('div', { class: 'panel empty-state' }, icon('folder', 'kind-folder'), el('h2', { text: t('empty') }));
    if (state.permissions.includes('write')) box.append(el('p', { text: t('emptyWrite') }));
    ui.content.replaceChildren(box);
    updateSelection();
    return;
  }
  if (view.shown.length === 0) {
    setMessage(t('noMatch'));
    updateSelection();
    return;
  }
  setMessage('');
  let container;
  if (state.view === 'grid') {
    container = el('div', { class: 'tiles', role: 'list' });
    ui.content.replaceChildren(el('div', { class: 'tiles-wrap' }, container));
  } else {
    container = el('div', { class: state.search === null ? 'rows' : 'rows results', role: 'list' });
    ui.content.replaceChildren(el('div', { class: 'list' }, listHead(), container));
  }
  startWindow(container);
  updateSelection();
}

function listHead() {
  const all = el('input', { type: 'checkbox', class: 'select-all' });
  setLabel(all, t('selectAll'));
  const head = el('div', { class: 'list-head' }, el('label', { class: 'check-cell' }, all));
  for (const [key, className] of [['name', 'name-head'], ['modified', 'date-head'], ['size', 'size-head']]) {
    let text = t(key);
    const active = state.sort === key;
    if (active) text += state.descending ? ' ↓' : ' ↑';
    const button = el('button', { type: 'button', class: 'sort-button ' + className + (active ? ' active' : ''), text });
    button.dataset.sort = key;
    // The list is no table, so the order is said in the active header's name.
    if (active) button.setAttribute('aria-label', t(key) + ', ' + (state.descending ? t('descending') : t('ascending')));
    head.append(button);
  }
  return head;
}

// The container is as tall as all its items; only the items near the screen
// exist, placed at their own offsets and kept in index order so that Tab moves
// through them in list order. Rows of the list have one height from the style
// sheet; tiles fill as many columns of at least the minimum width as fit, and
// all have the height of the first one.
function startWindow(container) {
  view.windowed = container;
  const style = getComputedStyle(container);
  const count = view.shown.length;
  if (state.view === 'grid') {
    const gap = parseFloat(style.getPropertyValue('--tile-gap')) || 12;
    const least = parseFloat(style.getPropertyValue('--tile-min')) || 160;
    const space = container.clientWidth;
    const columns = Math.max(1, Math.floor((space + gap) / (least + gap)));
    const width = (space - gap * (columns - 1)) / columns;
    // Every tile is as tall as one with a name of two lines; a shorter name
    // leaves the room below the size, not between the name and the size.
    const probe = makeTile({ ...view.shown[0], name: 'W '.repeat(100) }, 0);
    probe.style.width = width + 'px';
    probe.style.visibility = 'hidden';
    container.append(probe);
    const height = probe.getBoundingClientRect().height;
    probe.remove();
    view.layout = { grid: true, columns, width, gap, height, stride: height + gap };
    container.style.height = Math.max(0, Math.ceil(count / columns) * view.layout.stride - gap) + 'px';
  } else {
    const stride = parseFloat(style.getPropertyValue('--row-height')) || 53;
    view.layout = { grid: false, columns: 1, width: 0, gap: 0, stride };
    container.style.height = count * stride + 'px';
  }
  updateWindow();
}

let windowFrame = 0;

function scheduleWindow() {
  if (!view.windowed || windowFrame) return;
  windowFrame = requestAnimationFrame(() => {
    windowFrame = 0;
    updateWindow();
  });
}

function updateWindow() {
  const container = view.windowed;
  if (!container || !container.isConnected || !view.layout) return;
  const { grid, columns, width, gap, stride } = view.layout;
  const count = view.shown.length;
  const lines = Math.ceil(count / columns);
  const box = container.getBoundingClientRect();
  const top = Math.max(0, -box.top);
  const bottom = Math.min(box.height, window.innerHeight - box.top);
  let firstLine = Math.max(0, Math.floor(top / stride) - WINDOW_EXTRA_ROWS);
  let lastLine = Math.min(lines - 1, Math.ceil(bottom / stride) + WINDOW_EXTRA_ROWS);
  if (bottom <= 0 || top >= box.height) {
    // Off screen: keep a few lines at the near end.
    firstLine = bottom <= 0 ? 0 : Math.max(0, lines - WINDOW_EXTRA_ROWS);
    lastLine = bottom <= 0 ? Math.min(lines - 1, WINDOW_EXTRA_ROWS) : lines - 1;
  }
  const first = firstLine * columns;
  const last = Math.min(count - 1, (lastLine + 1) * columns - 1);
  // The item with the focus stays even when it scrolls away, so that the focus
  // does not fall back to the page.
  const active = document.activeElement;
  for (const [index, node] of view.rows) {
    if ((index < first || index > last) && !node.contains(active)) {
      node.remove();
      view.rows.delete(index);
    }
  }
  const previousFirst = view.rows.size > 0 ? view.firstItem : Infinity;
  const before = document.createDocumentFragment();
  const after = document.createDocumentFragment();
  for (let index = first; index <= last; index++) {
    if (view.rows.has(index)) continue;
    let node;
    if (grid) {
      node = makeTile(view.shown[index], index);
      node.style.top = Math.floor(index / columns) * stride + 'px';
      node.style.left = (index % columns) * (width + gap) + 'px';
      node.style.width = width + 'px';
      node.style.height = view.layout.height + 'px';
    } else {
      node = makeRow(view.shown[index], index);
      node.style.top = index * stride + 'px';
      if (index === 0) node.classList.add('first');
    }
    view.rows.set(index, node);
    (index < previousFirst ? before : after).append(node);
  }
  container.prepend(before);
  container.append(after);
  view.firstItem = first;
}

function itemNames(item) {
  return [...(item.folder || state.path), item.name];
}

function itemHref(item) {
  return item.dir ? locationFor(state.share, itemNames(item)) : fileUrl(state.share, itemNames(item));
}

function kindIcon(item) {
  const name = item.kind === 'folder' ? 'folder' : item.kind === 'other' ? 'file' : item.kind;
  return icon(name, 'kind-' + item.kind);
}

function thumbnail(item, pixels, size) {
  if (!item.dir && THUMB_KINDS.has(item.kind)) {
    const img = el('img', { alt: '', loading: 'lazy', decoding: 'async', width: size, height: size });
    img.dataset.kind = item.kind;
    img.src = thumbUrl(state.share, itemNames(item), pixels);
    return img;
  }
  return kindIcon(item);
}

function onThumbError(event) {
  const img = event.target;
  if (!(img instanceof HTMLImageElement) || !img.dataset.kind) return;
  const kind = img.dataset.kind;
  img.replaceWith(icon(kind, 'kind-' + kind));
}

function checkCell(item) {
  const box = el('input', { type: 'checkbox', class: 'check' });
  box.checked = state.selected.has(item.key);
  setLabel(box, item.name);
  return el('label', { class: 'check-cell' }, box);
}

function makeRow(item, index) {
  const sizeText = item.dir ? '' : formatSize(item.size);
  const short = formatShortDate(item.modified);
  const metaLine = item.dir ? short : [short, sizeText].filter(Boolean).join(' · ');
  const row = el('div', { class: 'row', role: 'listitem' },
    checkCell(item),
    el('span', { class: 'thumb' }, thumbnail(item, THUMB_LIST_PX, 40)),
    el('span', { class: 'name-cell' },
      el('a', { class: 'name', href: itemHref(item), text: item.name, title: item.name }),
      el('span', { class: 'meta-line', text: metaLine }),
      folderLink(item)),
    el('span', { class: 'date-cell', text: formatFullDate(item.modified) }),
    el('span', { class: 'size-cell', text: sizeText }));
  row.dataset.index = index;
  if (state.selected.has(item.key)) row.classList.add('selected');
  return row;
}

function makeTile(item, index) {
  const meta = item.dir ? formatShortDate(item.modified) : formatSize(item.size);
  const tile = el('div', { class: 'tile', role: 'listitem' },
    checkCell(item),
    el('span', { class: 'tile-thumb' }, thumbnail(item, THUMB_TILE_PX, 160)),
    el('a', { class: 'name', href: itemHref(item), text: item.name, title: item.name }),
    el('span', { class: 'tile-meta', text: meta }),
    folderLink(item));
  tile.dataset.index = index;
  if (state.selected.has(item.key)) tile.classList.add('selected');
  return tile;
}

// Clicks in the folder view: links open plainly and follow the browser's own
// behaviour with a modifier; Ctrl/Cmd and Shift on the rest of a row select.
function onContentClick(event) {
  const target = event.target;
  const sortButton = target.closest('.sort-button');
  if (sortButton) {
    setSort(sortButton.dataset.sort);
    return;
  }
  if (target.closest('.select-all')) {
    toggleAll();
    return;
  }
  const holder = target.closest('[data-index]');
  if (!holder) return;
  const index = Number(holder.dataset.index);
  const item = view.shown[index];
  if (!item) return;
  if (target.closest('.check-cell')) {
    if (!(target instanceof HTMLInputElement)) return; // the label forwards a click to its box
    if (event.shiftKey && view.anchor >= 0) selectRange(index, true);
    else toggleItem(index);
    return;
  }
  if (target.closest('a.in-folder')) return;
  const link = target.closest('a.name');
  const modified = event.ctrlKey || event.metaKey || event.shiftKey || event.altKey;
  if (link) {
    if (modified || event.button !== 0) return;
    event.preventDefault();
    openItem(item);
    return;
  }
  if (event.shiftKey) {
    event.preventDefault();
    selectRange(index, false);
    window.getSelection()?.removeAllRanges();
  } else if (event.ctrlKey || event.metaKey) {
    toggleItem(index);
  } else {
    openItem(item);
  }
}

const ARROW_STEPS = { ArrowDown: 'down', ArrowUp: 'up', ArrowLeft: 'left', ArrowRight: 'right' };

function onContentKey(event) {
  if (ARROW_STEPS[event.key] && !event.altKey && !event.ctrlKey && !event.metaKey && !event.shiftKey) {
    moveFocus(event);
    return;
  }
  if (event.key !== 'Enter') return;
  const target = event.target;
  if (target instanceof HTMLInputElement && target.classList.contains('check')) {
    const holder = target.closest('[data-index]');
    const item = holder && view.shown[Number(holder.dataset.index)];
    if (item) {
      event.preventDefault();
      openItem(item);
    }
  }
}

// Arrow keys move the focus from item to item: up and down by rows, left and
// right along the tiles.
function moveFocus(event) {
  const holder = event.target instanceof Element ? event.target.closest('[data-index]') : null;
  if (!holder || !view.layout) return;
  const direction = ARROW_STEPS[event.key];
  const { grid, columns } = view.layout;
  if (!grid && (direction === 'left' || direction === 'right')) return;
  const step = direction === 'down' ? columns : direction === 'up' ? -columns : direction === 'right' ? 1 : -1;
  const index = Number(holder.dataset.index) + step;
  event.preventDefault();
  if (index < 0 || index >= view.shown.length) return;
  focusItem(index, event.target.classList.contains('check') ? 'input.check' : 'a.name');
}

// Scrolls the item into view between the top bar and the selection bar, and
// gives it the focus.
function focusItem(index, selector) {
  const { columns, stride } = view.layout;
  const top = view.windowed.getBoundingClientRect().top + Math.floor(index / columns) * stride;
  const header = document.querySelector('header.bar').getBoundingClientRect().bottom;
  const bottomMargin = ui.selectionTools.hidden ? 8 : 80;
  if (top < header + 8) window.scrollBy(0, top - header - 8);
  else if (top + stride > window.innerHeight - bottomMargin) window.scrollBy(0, top + stride - window.innerHeight + bottomMargin);
  updateWindow();
  view.rows.get(index)?.querySelector(selector)?.focus({ preventScroll: true });
}

function toggleItem(index) {
  const item = view.shown[index];
  if (state.selected.has(item.key)) state.selected.delete(item.key);
  else state.selected.add(item.key);
  view.anchor = index;
  updateSelection();
}

// Selects everything between the anchor and `index`; `fromBox` keeps a Shift
// click on a check box additive, as file managers do.
function selectRange(index, fromBox) {
  const anchor = view.anchor >= 0 ? view.anchor : index;
  if (!fromBox) state.selected.clear();
  const [from, to] = anchor <= index ? [anchor, index] : [index, anchor];
  for (let i = from; i <= to; i++) state.selected.add(view.shown[i].key);
  if (view.anchor < 0) view.anchor = index;
  updateSelection();
}

function toggleAll() {
  const allShown = view.shown.length > 0 && view.shown.every((item) => state.selected.has(item.key));
  if (allShown) for (const item of view.shown) state.selected.delete(item.key);
  else for (const item of view.shown) state.selected.add(item.key);
  updateSelection();
}

function selectedItems() {
  return state.items.filter((item) => state.selected.has(item.key));
}

function updateSelection() {
  const count = state.selected.size;
  ui.content.classList.toggle('has-selection', count > 0);
  for (const [index, node] of view.rows) {
    const item = view.shown[index];
    if (!item) continue;
    const on = state.selected.has(item.key);
    if (node.classList.contains('selected') !== on) node.classList.toggle('selected', on);
    const box = node.querySelector('input.check');
    if (box && box.checked !== on) box.checked = on;
  }
  const all = ui.content.querySelector('.select-all');
  if (all) {
    const selectedShown = view.shown.reduce((sum, item) => sum + (state.selected.has(item.key) ? 1 : 0), 0);
    all.checked = selectedShown > 0 && selectedShown === view.shown.length;
    all.indeterminate = selectedShown > 0 && selectedShown < view.shown.length;
  }
  ui.selectionTools.hidden = count === 0 || state.share === null;
  ui.selectionCount.textContent = t('selected', { n: formatCount(count) });
  ui.deleteButton.hidden = !state.permissions.includes('delete');
  ui.renameButton.hidden = !(state.permissions.includes('write') && count === 1 && state.search === null);
  ui.linkSelectedButton.hidden = !(count === 1 && canMakeLinks());
}

function openItem(item) {
  if (item.dir) {
    location.hash = locationFor(state.share, itemNames(item));
    return;
  }
  if (item.inline && VIEWABLE_KINDS.has(item.kind)) {
    openViewer(item);
    return;
  }
  downloadFile(fileUrl(state.share, itemNames(item)));
}

// The browser reports a failed download only in its own download list, so
// the first byte is asked for first: a refusal is said in the page instead.
// Asks for the first byte of a file: empty when the server would send it, else
// why it would not, in the page's words.
async function probeFile(url) {
  try {
    const response = await fetch(url, { credentials: 'same-origin', headers: { Range: 'bytes=0-0' } });
    // 416: an empty file has no first byte, and is served all the same.
    if (response.ok || response.status === 416) {
      response.body?.cancel().catch(() => {});
      return '';
    }
    let data = {};
    try {
      data = await response.json();
    } catch {
      data = {};
    }
    return errorText(typeof data.error === 'string' ? data : { error: 'failed' });
  } catch {
    return t('e_network');
  }
}

async function downloadFile(url) {
  const reason = await probeFile(url);
  if (reason) toast(t('downloadFailed') + ' ' + reason);
  else downloadUrl(url);
}

function downloadUrl(url) {
  const link = el('a', { href: url, download: '', hidden: true });
  document.body.append(link);
  link.click();
  link.remove();
}

// ---------------------------------------------------------------------------
// Selection commands.

async function downloadSelection() {
  const items = selectedItems();
  if (items.length === 0) return;
  if (items.length === 1 && !items[0].dir) {
    downloadFile(fileUrl(state.share, itemNames(items[0])));
    return;
  }
  const names = orderedSelection();
  toast(t('preparingZip'));
  const picked = state.search === null ? { names } : { items: names };
  const reply = await api('POST', '/api/zip', { share: state.share, path: state.path.join('/'), ...picked });
  if (!reply.ok || typeof reply.data.url !== 'string' || !reply.data.url.startsWith('/zip/')) {
    toast(errorText(reply.ok ? { error: 'failed' } : reply.data));
    return;
  }
  downloadUrl(reply.data.url);
}

// Selected names in the order the folder shows them.
function orderedSelection() {
  return view.sorted.filter((item) => state.selected.has(item.key)).map((item) => item.key);
}

function newFolder() {
  const share = state.share;
  const path = state.path.slice();
  openDialog({
    title: t('newFolderTitle'),
    nameLabel: t('newFolderLabel'),
    name: '',
    submit: async ({ name }) => {
      const problem = nameProblem(name);
      if (problem) return problem;
      const reply = await api('POST', '/api/mkdir', { share, path: [...path, name].join('/') });
      return reply.ok ? null : errorText(reply.data);
    },
  }).then((ok) => {
    if (!ok) return;
    toast(t('created'));
    refreshFolder();
  });
}

function renameSelected() {
  const items = selectedItems();
  if (items.length !== 1) return;
  const oldName = items[0].name;
  const share = state.share;
  const path = state.path.slice();
  let newName = oldName;
  let unchanged = false;
  openDialog({
    title: t('renameTitle'),
    nameLabel: t('renameLabel'),
    name: oldName,
    selectStem: true,
    submit: async ({ name }) => {
      const problem = nameProblem(name);
      if (problem) return problem;
      if (name === oldName) {
        unchanged = true;
        return null;
      }
      const reply = await api('POST', '/api/rename', { share, path: [...path, oldName].join('/'), newName: name });
      if (!reply.ok) return errorText(reply.data);
      newName = name;
      return null;
    },
  }).then((ok) => {
    if (!ok || unchanged) return;
    if (share === state.share && path.join('/') === state.path.join('/')) {
      state.selected.clear();
      state.selected.add(newName);
    }
    toast(t('renamed'));
    refreshFolder();
  });
}

function deleteSelected() {
  const names = orderedSelection();
  if (names.length === 0) return;
  const share = state.share;
  const path = state.path.slice();
  let count = names.length;
  openDialog({
    title: t('deleteTitle'),
    text: t('deleteText', { n: formatCount(names.length) }),
    danger: true,
    okText: t('delete'),
    submit: async () => {
      const reply = await api('POST', '/api/delete', { share, paths: names.map((name) => [...path, name].join('/')) });
      if (!reply.ok) return errorText(reply.data);
      if (Number.isFinite(reply.data.deleted)) count = reply.data.deleted;
      return null;
    },
  }).then((ok) => {
    if (ok) {
      toast(t('deleted', { n: formatCount(count) }));
      state.selected.clear();
      updateSelection();
    }
    refreshFolder();
  });
}

// ---------------------------------------------------------------------------
// Dialog: one at a time. `submit` gets the values and resolves to null on
// success or to an error text, which keeps the dialog open.

const dialogState = { resolve: null, submit: null, busy: false, restoreFocus: null };

function openDialog(options) {
  if (dialogState.resolve) closeDialog(null);
  const d = ui;
  d.dialog.classList.toggle('danger', Boolean(options.danger));
  d.dialogTitle.textContent = options.title;
  d.dialogText.textContent = options.text || '';
  d.dialogText.hidden = !options.text;
  const hasName = options.nameLabel !== undefined;
  d.dialogNameRow.hidden = !hasName;
  d.dialogNameLabel.textContent = options.nameLabel || '';
  d.dialogName.value = hasName ? options.name || '' : '';
  d.dialogName.setAttribute('autocomplete', options.autocomplete || 'off');
  d.dialogPasswordRow.hidden = !options.password;
  d.dialogPassword.value = '';
  d.dialogError.textContent = '';
  d.dialogError.hidden = true;
  d.dialogOk.textContent = options.okText || t('ok');
  d.dialogOk.disabled = false;
  dialogState.submit = options.submit;
  dialogState.busy = false;
  dialogState.restoreFocus = document.activeElement;
  d.dialog.showModal();
  if (hasName) {
    d.dialogName.focus();
    if (options.selectStem) {
      const dot = d.dialogName.value.lastIndexOf('.');
      d.dialogName.setSelectionRange(0, dot > 0 ? dot : d.dialogName.value.length);
    } else {
      d.dialogName.select();
    }
  } else if (options.password) {
    d.dialogPassword.focus();
  } else {
    d.dialogOk.focus();
  }
  return new Promise((resolve) => {
    dialogState.resolve = resolve;
  });
}

function closeDialog(result) {
  if (dialogState.busy) return;
  const resolve = dialogState.resolve;
  dialogState.resolve = null;
  dialogState.submit = null;
  if (ui.dialog.open) ui.dialog.close();
  ui.dialogPassword.value = '';
  const focus = dialogState.restoreFocus;
  dialogState.restoreFocus = null;
  if (focus && focus.isConnected && typeof focus.focus === 'function') focus.focus();
  if (resolve) resolve(result);
}

async function onDialogSubmit(event) {
  event.preventDefault();
  if (dialogState.busy || !dialogState.submit) return;
  const values = { name: ui.dialogName.value.trim(), password: ui.dialogPassword.value };
  dialogState.busy = true;
  ui.dialogOk.disabled = true;
  ui.dialogError.hidden = true;
  let error;
  try {
    error = await dialogState.submit(values);
  } catch {
    error = t('e_failed');
  }
  dialogState.busy = false;
  ui.dialogOk.disabled = false;
  if (error) {
    ui.dialogError.textContent = error;
    ui.dialogError.hidden = false;
    // A wrong password is the likelier mistake than a wrong name.
    const field = !ui.dialogPasswordRow.hidden ? ui.dialogPassword
      : !ui.dialogNameRow.hidden ? ui.dialogName : ui.dialogOk;
    field.focus();
    if (field instanceof HTMLInputElement) field.select();
    return;
  }
  closeDialog(true);
}

// ---------------------------------------------------------------------------
// Viewer.

const viewer = { items: [], index: 0, share: null, path: [], timer: 0, ticket: 0, restoreFocus: null };

function openViewer(item) {
  const list = item.kind === 'image'
    ? view.shown.filter((other) => !other.dir && other.inline && other.kind === 'image')
    : [item];
  viewer.items = list;
  viewer.index = Math.max(0, list.indexOf(item));
  viewer.share = state.share;
  viewer.path = state.path.slice();
  viewer.restoreFocus = document.activeElement;
  ui.viewer.hidden = false;
  setPageInert(true);
  document.body.style.overflow = 'hidden';
  showViewerItem();
  ui.viewerClose.focus();
}

// While the viewer shows, the page behind it takes no focus, clicks or
// screen-reader reading.
function setPageInert(on) {
  for (const node of [document.querySelector('header.bar'), document.querySelector('main'), ui.selectionTools, ui.uploads]) {
    node.inert = on;
  }
}

function closeViewer() {
  if (ui.viewer.hidden) return;
  stopSlideshow();
  viewer.ticket++;
  ui.viewerStage.replaceChildren();
  ui.viewer.hidden = true;
  setPageInert(false);
  document.body.style.overflow = '';
  const focus = viewer.restoreFocus;
  viewer.restoreFocus = null;
  if (focus && focus.isConnected && typeof focus.focus === 'function') focus.focus();
}

function showViewerItem() {
  const item = viewer.items[viewer.index];
  const names = [...(item.folder || viewer.path), item.name];
  const url = fileUrl(viewer.share, names);
  const ticket = ++viewer.ticket;
  ui.viewerTitle.textContent = item.name;
  ui.viewerDownload.href = url;
  const several = viewer.items.length > 1;
  ui.viewerPrev.hidden = !several;
  ui.viewerNext.hidden = !several;
  ui.viewerSlideshow.hidden = !several;
  let node;
  if (item.kind === 'image') {
    node = el('img', { alt: item.name });
    node.addEventListener('error', () => showImageFailure(url, ticket), { once: true });
    node.src = url + '?view=1';
  } else if (item.kind === 'video') {
    node = el('video', { controls: true, autoplay: true, playsinline: true, preload: 'metadata' });
    node.src = url + '?view=1';
  } else if (item.kind === 'audio') {
    node = el('audio', { controls: true, autoplay: true, preload: 'metadata' });
    node.src = url + '?view=1';
  } else {
    node = el('pre', { class: 'text-preview', tabindex: '0' });
    loadTextPreview(node, url, item, ticket);
  }
  ui.viewerStage.replaceChildren(node);
  if (node.play) node.play().catch(() => {});
}

async function loadTextPreview(node, url, item, ticket) {
  let response;
  try {
    response = await fetch(url + '?view=1', {
      credentials: 'same-origin',
      headers: { Range: 'bytes=0-' + (TEXT_PREVIEW_BYTES - 1) },
    });
  } catch {
    if (ticket === viewer.ticket) showViewerMessage(t('e_network'));
    return;
  }
  if (!response.ok) {
    let data = {};
    try {
      data = await response.json();
    } catch {
      data = {};
    }
    if (ticket === viewer.ticket) showViewerMessage(errorText(typeof data.error === 'string' ? data : { error: 'failed' }));
    return;
  }
  let bytes;
  try {
    bytes = new Uint8Array(await response.arrayBuffer());
  } catch {
    if (ticket === viewer.ticket) showViewerMessage(t('e_network'));
    return;
  }
  if (ticket !== viewer.ticket) return;
  let total = item.size;
  const range = /\/(\d+)\s*$/.exec(response.headers.get('Content-Range') || '');
  if (range) total = Number(range[1]);
  const truncated = response.status === 206 && total > TEXT_PREVIEW_BYTES;
  // A cut may fall inside a UTF-8 sequence; drop that partial character.
  let end = bytes.length;
  if (truncated) {
    let back = 0;
    while (back < 4 && end - back - 1 >= 0 && (bytes[end - back - 1] & 0xc0) === 0x80) back++;
    const lead = end - back - 1 >= 0 ? bytes[end - back - 1] : 0;
    const needed = lead >= 0xf0 ? 4 : lead >= 0xe0 ? 3 : lead >= 0xc0 ? 2 : 1;
    if (lead >= 0xc0 && back + 1 < needed) end -= back + 1;
  }
  let text = new TextDecoder('utf-8').decode(bytes.subarray(0, end));
  if (truncated) text += '\n\n' + t('truncated');
  node.textContent = text;
}

// In place of the browser's broken-picture sign: the failure in words, with
// the server's reason when it gives one.
async function showImageFailure(url, ticket) {
  if (ticket !== viewer.ticket) return;
  showViewerMessage(t('imageFailed'));
  const reason = await probeFile(url + '?view=1');
  if (reason && ticket === viewer.ticket) showViewerMessage(t('imageFailed') + ' ' + reason);
}

function showViewerMessage(text) {
  ui.viewerStage.replaceChildren(el('p', { class: 'viewer-message', text }));
}

function moveViewer(step, stop) {
  if (stop) stopSlideshow();
  const count = viewer.items.length;
  if (count < 2) return;
  viewer.index = (viewer.index + step + count) % count;
  showViewerItem();
}

// A swipe sideways over the picture moves to the next or previous one.
const SWIPE_PX = 50;
let swipeStart = null;

function onViewerTouchStart(event) {
  swipeStart = event.touches.length === 1 ? { x: event.touches[0].clientX, y: event.touches[0].clientY } : null;
}

function onViewerTouchEnd(event) {
  const start = swipeStart;
  swipeStart = null;
  if (!start || event.changedTouches.length !== 1 || viewer.items.length < 2) return;
  const dx = event.changedTouches[0].clientX - start.x;
  const dy = event.changedTouches[0].clientY - start.y;
  if (Math.abs(dx) >= SWIPE_PX && Math.abs(dx) > 2 * Math.abs(dy)) moveViewer(dx < 0 ? 1 : -1, true);
}

function toggleSlideshow() {
  if (viewer.timer) stopSlideshow();
  else {
    viewer.timer = setInterval(() => moveViewer(1, false), SLIDE_MS);
    setIcon(ui.viewerSlideshow, 'pause');
    ui.viewerSlideshow.setAttribute('aria-pressed', 'true');
  }
}

function stopSlideshow() {
  if (viewer.timer) clearInterval(viewer.timer);
  viewer.timer = 0;
  setIcon(ui.viewerSlideshow, 'play');
  ui.viewerSlideshow.setAttribute('aria-pressed', 'false');
}

// ---------------------------------------------------------------------------
// Keys across the page.

function onDocumentKey(event) {
  if (ui.dialog.open) return; // the dialog handles its own keys
  if (!ui.viewer.hidden) {
    if (event.key === 'Escape') {
      event.preventDefault();
      closeViewer();
    } else if (event.key === 'ArrowLeft' && !isMediaControl(event.target)) {
      event.preventDefault();
      moveViewer(-1, true);
    } else if (event.key === 'ArrowRight' && !isMediaControl(event.target)) {
      event.preventDefault();
      moveViewer(1, true);
    } else if (event.key === 'Tab') {
      keepFocusInViewer(event);
    }
    return;
  }
  if (state.share === null || isTextField(event.target)) return;
  if (event.key === 'Escape' && state.selected.size > 0) {
    state.selected.clear();
    updateSelection();
  } else if ((event.ctrlKey || event.metaKey) && event.key.toLowerCase() === 'a' && view.shown.length > 0) {
    event.preventDefault();
    for (const item of view.shown) state.selected.add(item.key);
    updateSelection();
  } else if (event.key === 'Delete' && state.selected.size > 0 && state.permissions.includes('delete')) {
    event.preventDefault();
    deleteSelected();
  } else if (event.key === 'F2' && state.selected.size === 1 && state.permissions.includes('write') && state.search === null) {
    event.preventDefault();
    renameSelected();
  }
}

function isTextField(node) {
  return node instanceof HTMLElement && (node.isContentEditable ||
    node instanceof HTMLTextAreaElement || node instanceof HTMLSelectElement ||
    (node instanceof HTMLInputElement && node.type !== 'checkbox'));
}

function isMediaControl(node) {
  return node instanceof HTMLMediaElement;
}

function keepFocusInViewer(event) {
  const focusable = [...ui.viewer.querySelectorAll('button, a[href], video, audio, [tabindex="0"]')]
    .filter((node) => !node.hidden && node.offsetParent !== null);
  if (focusable.length === 0) return;
  const first = focusable[0];
  const last = focusable[focusable.length - 1];
  if (event.shiftKey && (document.activeElement === first || !ui.viewer.contains(document.activeElement))) {
    event.preventDefault();
    last.focus();
  } else if (!event.shiftKey && (document.activeElement === last || !ui.viewer.contains(document.activeElement))) {
    event.preventDefault();
    first.focus();
  }
}

// ---------------------------------------------------------------------------
// Toast.

let toastTimer = 0;

function toast(text) {
  ui.toast.textContent = text;
  ui.toast.hidden = false;
  clearTimeout(toastTimer);
  toastTimer = setTimeout(() => {
    ui.toast.hidden = true;
  }, TOAST_MS);
}

// ---------------------------------------------------------------------------
// Uploads: folders first, then two files at a time, each one PUT.

const uploads = {
  entries: [], // every row of the panel: {file, rel, share, base, state, xhr, row, ...}
  queue: [],
  running: new Set(),
};

async function startUploads(files, folders) {
  if (state.share === null || !state.permissions.includes('write')) return;
  if (files.length === 0 && folders.length === 0) return;
  const share = state.share;
  const base = state.path.slice();

  // Every folder the entries need, shallower before deeper, each once.
  const seen = new Set();
  const needed = [];
  const want = (names) => {
    const key = JSON.stringify(names);
    if (seen.has(key)) return;
    seen.add(key);
    needed.push(names);
  };
  for (const names of folders) for (let depth = 1; depth <= names.length; depth++) want(names.slice(0, depth));
  for (const { rel } of files) for (let depth = 1; depth < rel.length; depth++) want(rel.slice(0, depth));
  needed.sort((a, b) => a.length - b.length);
  for (const names of needed) {
    const reply = await api('POST', '/api/mkdir', { share, path: [...base, ...names].join('/'), parents: true });
    if (!reply.ok) {
      toast(errorText(reply.data));
      return;
    }
  }
  if (files.length === 0) {
    if (share === state.share) refreshFolder();
    return;
  }

  for (const { file, rel } of files) {
    const entry = { file, rel, share, base, state: 'waiting', xhr: null, row: null, stateText: null, bar: null, button: null };
    entry.index = uploads.entries.length;
    uploads.entries.push(entry);
    uploads.queue.push(entry);
    addUploadRow(entry);
  }
  ui.uploads.hidden = false;
  updateUploadPanel();
  pumpUploads();
}

function addUploadRow(entry) {
  entry.stateText = el('span', { class: 'upload-state', text: t('waiting') });
  entry.bar = el('progress', { max: '100', value: '0' });
  entry.button = el('button', { class: 'icon-button', type: 'button' }, icon('close'));
  entry.button.dataset.upload = String(entry.index);
  setLabel(entry.button, t('cancelUpload'));
  const path = entry.rel.join('/');
  entry.row = el('li', { class: 'upload-row waiting' },
    el('span', { class: 'upload-name', text: path, title: path }), entry.stateText, entry.button, entry.bar);
  ui.uploadList.append(entry.row);
}

function pumpUploads() {
  while (uploads.running.size < PARALLEL_UPLOADS && uploads.queue.length > 0) {
    sendUpload(uploads.queue.shift());
  }
  updateUploadPanel();
}

function sendUpload(entry) {
  if (entry.file.size > RESUMABLE_FROM_BYTES) return sendResumable(entry);
  const xhr = new XMLHttpRequest();
  entry.xhr = xhr;
  entry.state = 'running';
  uploads.running.add(entry);
  entry.row.className = 'upload-row running';
  entry.stateText.textContent = '0%';
  xhr.open('PUT', fileUrl(entry.share, [...entry.base, ...entry.rel]));
  xhr.setRequestHeader('X-VeltoCorvane', '1');
  xhr.upload.addEventListener('progress', (event) => {
    if (!event.lengthComputable || entry.state !== 'running') return;
    const percent = event.total > 0 ? Math.floor((event.loaded / event.total) * 100) : 100;
    entry.bar.value = percent;
    entry.stateText.textContent = percent + '%';
  });
  xhr.addEventListener('load', () => {
    if (xhr.status >= 200 && xhr.status < 300) {
      entry.bar.value = 100;
      // A taken name makes the server store the file under a numbered one.
      let stored = '';
      try {
        const reply = JSON.parse(xhr.responseText);
        if (reply && typeof reply.name === 'string') stored = reply.name;
      } catch {
        stored = '';
      }
      const asSent = entry.rel[entry.rel.length - 1];
      entry.stored = stored || asSent;
      finishUpload(entry, 'done', stored && stored !== asSent ? t('savedAs', { name: stored }) : t('done'));
    } else {
      let data = {};
      try {
        const parsed = JSON.parse(xhr.responseText);
        if (parsed && typeof parsed === 'object') data = parsed;
      } catch {
        data = {};
      }
      finishUpload(entry, 'failed', t('failed') + ': ' + errorText(typeof data.error === 'string' ? data : { error: 'failed' }));
    }
  });
  xhr.addEventListener('error', () => finishUpload(entry, 'failed', t('failed') + ': ' + t('e_network')));
  xhr.addEventListener('abort', () => finishUpload(entry, 'cancelled', t('cancelled')));
  xhr.send(entry.file);
}

function finishUpload(entry, result, text) {
  if (entry.state !== 'running' && entry.state !== 'waiting') return;
  entry.state = result;
  entry.xhr = null;
  uploads.running.delete(entry);
  entry.row.className = 'upload-row ' + result;
  entry.stateText.textContent = text;
  entry.stateText.title = text;
  entry.button.hidden = true;
  if (result === 'done') noteDropBoxUpload(entry);
  const busy = uploads.running.size > 0 || uploads.queue.length > 0;
  pumpUploads();
  if (!busy) refreshFolder();
}

function cancelUpload(entry) {
  if (!entry) return;
  if (entry.state === 'waiting') {
    uploads.queue = uploads.queue.filter((other) => other !== entry);
    finishUpload(entry, 'cancelled', t('cancelled'));
  } else if (entry.state === 'running' && entry.xhr) {
    entry.xhr.abort();
  }
}

function cancelAllUploads() {
  const waiting = uploads.queue;
  uploads.queue = [];
  for (const entry of waiting) {
    entry.state = 'cancelled';
    entry.row.className = 'upload-row cancelled';
    entry.stateText.textContent = t('cancelled');
    entry.button.hidden = true;
  }
  for (const entry of [...uploads.running]) entry.xhr?.abort();
  if (uploads.running.size === 0 && waiting.length > 0) {
    updateUploadPanel();
    refreshFolder();
  }
}

function closeUploadPanel() {
  if (uploads.running.size > 0 || uploads.queue.length > 0) return;
  uploads.entries = [];
  ui.uploadList.replaceChildren();
  ui.uploads.hidden = true;
}

function updateUploadPanel() {
  const total = uploads.entries.length;
  let ok = 0;
  let failed = 0;
  let cancelled = 0;
  for (const entry of uploads.entries) {
    if (entry.state === 'done') ok++;
    else if (entry.state === 'failed') failed++;
    else if (entry.state === 'cancelled') cancelled++;
  }
  const ended = ok + failed + cancelled;
  const working = ended < total;
  if (working) ui.uploadTitle.textContent = t('uploading', { done: ended, total });
  else if (ok === total) ui.uploadTitle.textContent = t('uploadDone', { done: ok, total });
  else ui.uploadTitle.textContent = t('uploadEnded', { ok, failed, cancelled });
  ui.uploadsCancel.hidden = !working;
  ui.uploadsClose.hidden = working;
}

// ---------------------------------------------------------------------------
// Dropping files and folders.

let dragDepth = 0;

function dragCarriesFiles(event) {
  const types = event.dataTransfer ? [...event.dataTransfer.types] : [];
  return types.includes('Files');
}

function canDrop() {
  return state.share !== null && state.permissions.includes('write') && view.folderKey !== null &&
    !ui.dialog.open && ui.viewer.hidden;
}

function onDragEnter(event) {
  if (!dragCarriesFiles(event)) return;
  event.preventDefault();
  dragDepth++;
  ui.drop.hidden = !canDrop();
}

function onDragOver(event) {
  if (!dragCarriesFiles(event)) return;
  event.preventDefault();
  event.dataTransfer.dropEffect = canDrop() ? 'copy' : 'none';
}

function onDragLeave(event) {
  if (!dragCarriesFiles(event)) return;
  dragDepth = Math.max(0, dragDepth - 1);
  if (dragDepth === 0) ui.drop.hidden = true;
}

async function onDrop(event) {
  if (!dragCarriesFiles(event)) return;
  event.preventDefault();
  dragDepth = 0;
  ui.drop.hidden = true;
  if (!canDrop()) return;
  const { files, folders } = await readDrop(event.dataTransfer);
  startUploads(files, folders);
}

// Reads a drop: folders through the browser's file-system entries, or the
// plain files where the browser has no entries.
async function readDrop(transfer) {
  const items = [...(transfer.items || [])].filter((item) => item.kind === 'file');
  const roots = items.map((item) => (typeof item.webkitGetAsEntry === 'function' ? item.webkitGetAsEntry() : null));
  if (roots.length > 0 && roots.every(Boolean)) {
    const files = [];
    const folders = [];
    for (const entry of roots) await walkEntry(entry, [], files, folders);
    return { files, folders };
  }
  return { files: [...transfer.files].map((file) => ({ file, rel: [file.name] })), folders: [] };
}

async function walkEntry(entry, parent, files, folders) {
  const rel = [...parent, entry.name];
  if (entry.isFile) {
    try {
      const file = await new Promise((resolve, reject) => entry.file(resolve, reject));
      files.push({ file, rel });
    } catch {
      // An unreadable file is left out.
    }
    return;
  }
  if (!entry.isDirectory) return;
  folders.push(rel);
  const reader = entry.createReader();
  for (;;) {
    let batch;
    try {
      batch = await new Promise((resolve, reject) => reader.readEntries(resolve, reject));
    } catch {
      return;
    }
    if (batch.length === 0) return;
    for (const child of batch) await walkEntry(child, rel, files, folders);
  }
}

if (document.readyState === 'loading') document.addEventListener('DOMContentLoaded', start);
else start();

// ---------------------------------------------------------------------------
// Big files go through the resumable-upload protocol (tus 1.0.0) in pieces, so
// a dropped connection, a reload or a restart of the server costs at most the
// piece in flight. The upload's address is kept in localStorage under the
// file's name, size, modification time and destination: choosing the same file
// for the same folder again continues it.

const RESUMABLE_FROM_BYTES = 16 * 1024 * 1024;
const RESUMABLE_PIECE_BYTES = 64 * 1024 * 1024; // proxies with body limits pass
const RESUMABLE_RETRY_MS = [1000, 2000, 4000, 8000, 15000, 30000, 30000, 30000, 30000, 30000];
const RESUMABLE_KEY_PREFIX = 'vc-upload:';
const UPLOADS_ENDPOINT = '/api/uploads/';

// Requests the browser ends because the page goes away are not cancellations:
// the upload stays on the server for the page that comes next.
let pageLeaving = false;
window.addEventListener('pagehide', () => {
  pageLeaving = true;
});

// Thrown through the steps of one upload: cancelled by the visitor, refused for
// good by the server, or worth another try after a pause.
class UploadStop {
  constructor(kind, text) {
    this.kind = kind; // 'cancel' | 'leave' | 'fatal' | 'retry'
    this.text = text;
  }
}

function resumableKey(entry) {
  const file = entry.file;
  return RESUMABLE_KEY_PREFIX + JSON.stringify([entry.share, [...entry.base, ...entry.rel].join('/'),
    file.name, file.size, file.lastModified]);
}

function storedUploadUrl(key) {
  try {
    return localStorage.getItem(key);
  } catch {
    return null;
  }
}

function storeUploadUrl(key, url) {
  try {
    if (url) localStorage.setItem(key, url);
    else localStorage.removeItem(key);
  } catch {
    // Private windows may refuse storage; the upload then cannot outlive the page.
  }
}

function base64Text(text) {
  let binary = '';
  for (const byte of new TextEncoder().encode(text)) binary += String.fromCharCode(byte);
  return btoa(binary);
}

function replyError(xhr) {
  try {
    const parsed = JSON.parse(xhr.responseText);
    if (parsed && typeof parsed.error === 'string') return errorText(parsed);
  } catch {
    // not JSON
  }
  return errorText({ error: 'failed' });
}

// One request of the protocol; resolves with the XHR once any reply came.
// The XHR sits in entry.xhr, so cancelling the row aborts it.
function resumableRequest(entry, method, url, headers, body, onProgress) {
  return new Promise((resolve, reject) => {
    const xhr = new XMLHttpRequest();
    entry.xhr = xhr;
    xhr.open(method, url);
    xhr.setRequestHeader('Tus-Resumable', '1.0.0');
    xhr.setRequestHeader('X-VeltoCorvane', '1');
    for (const [name, value] of Object.entries(headers)) xhr.setRequestHeader(name, value);
    if (onProgress) {
      xhr.upload.addEventListener('progress', (event) => {
        if (event.lengthComputable) onProgress(event.loaded);
      });
    }
    xhr.addEventListener('load', () => resolve(xhr));
    xhr.addEventListener('error', () => reject(new UploadStop('retry', t('e_network'))));
    xhr.addEventListener('timeout', () => reject(new UploadStop('retry', t('e_network'))));
    xhr.addEventListener('abort', () => reject(new UploadStop(pageLeaving ? 'leave' : 'cancel')));
    xhr.send(body ?? null);
  });
}

// Waits before the next try; cancelling the row ends the wait.
function resumablePause(entry, ms) {
  return new Promise((resolve, reject) => {
    const timer = setTimeout(resolve, ms);
    entry.xhr = {
      abort() {
        clearTimeout(timer);
        reject(new UploadStop('cancel'));
      },
    };
  });
}

function showUploadProgress(entry, done) {
  const size = entry.file.size;
  const percent = size > 0 ? Math.min(100, Math.floor((done / size) * 100)) : 100;
  entry.bar.value = percent;
  entry.stateText.textContent = percent + '%';
  entry.stateText.title = '';
}

async function createResumable(entry) {
  const file = entry.file;
  const folder = [...entry.base, ...entry.rel.slice(0, -1)].join('/');
  const metadata = [
    'share ' + base64Text(entry.share),
    'path ' + base64Text(folder),
    'filename ' + base64Text(entry.rel[entry.rel.length - 1]),
    'filetype ' + base64Text(file.type || 'application/octet-stream'),
  ].join(',');
  const xhr = await resumableRequest(entry, 'POST', UPLOADS_ENDPOINT,
    { 'Upload-Length': String(file.size), 'Upload-Metadata': metadata });
  if (xhr.status === 201 && xhr.getResponseHeader('Location')) {
    return new URL(xhr.getResponseHeader('Location'), location.href).pathname;
  }
  throw new UploadStop(xhr.status >= 500 ? 'retry' : 'fatal', replyError(xhr));
}

// The offset the server holds; null when the upload is gone (expired,
// finished or not ours), so a new one starts.
async function resumableOffset(entry, url) {
  const xhr = await resumableRequest(entry, 'HEAD', url, {});
  if (xhr.status === 200) return Number(xhr.getResponseHeader('Upload-Offset'));
  if (xhr.status === 403 || xhr.status === 404 || xhr.status === 410) return null;
  throw new UploadStop(xhr.status >= 500 ? 'retry' : 'fatal', replyError(xhr));
}

// Cancelling removes the partial file on the server as well.
function cancelResumable(entry, url, key) {
  if (url) {
    fetch(url, { method: 'DELETE', headers: { 'Tus-Resumable': '1.0.0', 'X-VeltoCorvane': '1' } })
      .catch(() => {});
  }
  storeUploadUrl(key, null);
  finishUpload(entry, 'cancelled', t('cancelled'));
}

async function sendResumable(entry) {
  entry.state = 'running';
  uploads.running.add(entry);
  entry.row.className = 'upload-row running';
  entry.stateText.textContent = '0%';
  const file = entry.file;
  const key = resumableKey(entry);
  let url = storedUploadUrl(key);
  let offset = 0;
  let fresh = true; // nothing is known about the upload yet on this page
  let failures = 0;
  let stored = '';
  while (true) {
    try {
      if (url && (fresh || failures > 0)) {
        const held = await resumableOffset(entry, url);
        if (held === null) {
          url = null;
          storeUploadUrl(key, null);
        } else {
          offset = held;
          if (fresh && offset > 0) {
            const percent = Math.floor((offset / file.size) * 100);
            showUploadProgress(entry, offset);
            entry.stateText.textContent = t('resumingFrom', { percent });
            toast(t('resumedUpload', { name: entry.rel.join('/'), percent }));
          }
        }
      }
      if (!url) {
        url = await createResumable(entry);
        storeUploadUrl(key, url);
        offset = 0;
      }
      fresh = false;
      while (offset < file.size) {
        const end = Math.min(offset + RESUMABLE_PIECE_BYTES, file.size);
        const from = offset;
        const xhr = await resumableRequest(entry, 'PATCH', url,
          { 'Upload-Offset': String(offset), 'Content-Type': 'application/offset+octet-stream' },
          file.slice(offset, end), (loaded) => showUploadProgress(entry, from + loaded));
        if (xhr.status === 204) {
          offset = Number(xhr.getResponseHeader('Upload-Offset'));
          failures = 0;
          showUploadProgress(entry, offset);
          const name = xhr.getResponseHeader('Upload-Name');
          if (name) stored = decodeURIComponent(name);
          continue;
        }
        // A stale offset or a piece still being received: ask again.
        const again = xhr.status === 409 || xhr.status === 423 || xhr.status >= 500;
        throw new UploadStop(again ? 'retry' : 'fatal', replyError(xhr));
      }
      storeUploadUrl(key, null);
      const asSent = entry.rel[entry.rel.length - 1];
      entry.stored = stored || asSent;
      finishUpload(entry, 'done', stored && stored !== asSent ? t('savedAs', { name: stored }) : t('done'));
      return;
    } catch (error) {
      if (!(error instanceof UploadStop)) throw error;
      if (error.kind === 'leave') return;
      if (error.kind === 'cancel') return cancelResumable(entry, url, key);
      if (error.kind === 'fatal' || failures >= RESUMABLE_RETRY_MS.length) {
        finishUpload(entry, 'failed', t('failed') + ': ' + error.text);
        return;
      }
      entry.stateText.textContent = t('reconnecting');
      entry.stateText.title = error.text;
      entry.row.className = 'upload-row running reconnecting';
      try {
        await resumablePause(entry, RESUMABLE_RETRY_MS[failures]);
      } catch {
        return cancelResumable(entry, url, key);
      }
      failures++;
      entry.row.className = 'upload-row running';
    }
  }
}
