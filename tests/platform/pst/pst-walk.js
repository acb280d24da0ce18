#!/usr/bin/env node
// Walks a .pst with npm pst-extractor, as shipped, and prints what it reads
// as JSON: the folder tree, every contact with its values and every
// distribution list with its members. Given the book it came from (the
// lines of `addrivo-convert list --all`), it prints instead each way the
// file differs from the book, and exits 1 when there is one.
//   node pst-walk.js <node_modules folder> <file.pst> [book.jsonl]
'use strict';
console.log = console.error;  // the reader's own remarks stay off the JSON
const path = require('path');
const { PSTFile } = require(path.join(process.argv[2], 'pst-extractor'));
const Props = require(path.join(process.argv[2], 'pst-extractor/dist/OutlookProperties.js')).OutlookProperties;

// The bytes of any property, whatever its type (the reader's own getters
// take one type each; the list members are multi-valued binaries).
function raw(obj, id) {
  const item = obj.pstTableItems && obj.pstTableItems.get(id);
  if (!item) return null;
  if (!item.isExternalValueReference) return item.data;
  const desc = obj.localDescriptorItems && obj.localDescriptorItems.get(item.entryValueReference);
  return desc ? desc.getData() : null;
}

// [MS-OXCDATA] 2.11.1.3: a multi-valued binary is a count, offsets and the values.
function multiBinary(buf) {
  if (!buf || buf.length < 4) return [];
  const n = buf.readUInt32LE(0), out = [];
  for (let i = 0; i < n; i++) {
    const at = buf.readUInt32LE(4 + 4 * i);
    const end = i + 1 < n ? buf.readUInt32LE(8 + 4 * i) : buf.length;
    out.push(buf.subarray(at, end));
  }
  return out;
}

// [MS-OXCDATA] 2.2.5.1: a one-off entry id holds name, type and address.
function oneOff(id) {
  const flags = id.readUInt16LE(22);
  const texts = [];
  let at = 24;
  for (let k = 0; k < 3; k++) {
    if (flags & 0x8000) {
      let end = at;
      while (end + 1 < id.length && (id[end] || id[end + 1])) end += 2;
      texts.push(id.toString('utf16le', at, end));
      at = end + 2;
    } else {
      let end = id.indexOf(0, at);
      if (end < 0) end = id.length;
      texts.push(id.toString('latin1', at, end));
      at = end + 1;
    }
  }
  return { name: texts[0], type: texts[1], address: texts[2] };
}

function distList(file, msg) {
  const lid = (n) => file.getNameToIdMapItem(n, Props.PSETID_Address);
  const members = multiBinary(raw(msg, lid(0x8055)));
  const oneOffs = multiBinary(raw(msg, lid(0x8054)));
  const checksum = msg.getIntItem(lid(0x804c));
  return {
    kind: 'list',
    name: msg.displayName,
    subject: msg.subject,
    body: msg.body,
    checksum: checksum >>> 0,
    checksumOk: (checksum >>> 0) === crc(Buffer.concat(members)),
    members: members.map((m, i) => {
      const o = oneOffs[i] ? oneOff(oneOffs[i]) : {};
      // A wrapped entry id ([MS-OXOCNTC] 2.2.2.2.1) names what it points to
      // in its type byte: 0xC3 a contact's e-mail, 0xB4 a list; 0x00 one-off.
      const wrapped = m.length > 20 && m.toString('hex', 4, 20) === 'c091add3519dcf11a4a900aa0047faa4';
      return { ...o, points: wrapped ? m[20] : 0 };
    }),
  };
}

// The file format's CRC ([MS-PST] 5.3), which Outlook also takes over a
// list's member entry ids for its checksum.
function crc(buf) {
  let c = 0;
  for (const b of buf) {
    c ^= b;
    for (let k = 0; k < 8; k++) c = c & 1 ? (c >>> 1) ^ 0xedb88320 : c >>> 1;
  }
  return c >>> 0;
}

function contact(c) {
  return {
    kind: 'contact',
    displayName: c.displayName, subject: c.subject,
    givenName: c.givenName, surname: c.surname, companyName: c.companyName,
    email1: c.email1EmailAddress, email1DisplayName: c.email1DisplayName,
    businessPhone: c.businessTelephoneNumber, mobile: c.mobileTelephoneNumber,
    homeStreet: c.homeAddressStreet, department: c.departmentName, body: c.body,
  };
}

function walk(file, folder) {
  const out = {
    name: folder.displayName,
    containerClass: folder.containerClass,
    contentCount: folder.contentCount,
    items: [],
    folders: [],
  };
  if (folder.contentCount > 0) {
    for (let item = folder.getNextChild(); item; item = folder.getNextChild()) {
      if (item.messageClass === 'IPM.DistList') out.items.push(distList(file, item));
      else if (item.messageClass === 'IPM.Contact') out.items.push(contact(item));
      else out.items.push({ kind: item.messageClass });
    }
  }
  if (folder.hasSubfolders) for (const sub of folder.getSubFolders()) out.folders.push(walk(file, sub));
  return out;
}

// What the book says the export's folder must hold, against what was read:
// the folder tree (a single top-level folder is the export's own), every
// contact by its display name with its values, every list with its members.
function compare(book, top) {
  const lines = require('fs').readFileSync(book, 'utf8').split('\n').filter(Boolean).map((l) => JSON.parse(l));
  const folders = lines.filter((l) => l.kind === 'folder');
  const tops = folders.filter((f) => !f.parent);
  const pathOf = (name) => {
    const f = folders.find((x) => x.displayName === name);
    if (!f || (tops.length === 1 && f === tops[0])) return '';
    return pathOf(f.parent) + '/' + name;
  };
  const read = new Map();
  (function index(f, path) {
    read.set(path, f);
    for (const s of f.folders) index(s, path + '/' + s.name);
  })(top, '');
  const diff = [];
  const want = (what, got, expected) => {
    if (got !== expected) diff.push(`${what}: read ${JSON.stringify(got)}, book ${JSON.stringify(expected)}`);
  };
  for (const f of folders) if (!read.has(pathOf(f.displayName))) diff.push(`folder ${pathOf(f.displayName)} missing`);
  const byId = new Map(lines.map((l) => [l.id, l]));
  const email = (c) => ((c.emails || []).find((e) => e.default) || {}).address || '';
  for (const l of lines.filter((x) => x.kind === 'contact' || x.kind === 'group')) {
    const where = read.get(pathOf(l.folder)) || { items: [] };
    const kind = l.kind === 'contact' ? 'contact' : 'list';
    // Names repeat in a book: each item is matched once, by name and address.
    const named = where.items.filter((i) => !i.matched && i.kind === kind && (i.displayName || i.name) === l.displayName);
    const item = named.find((i) => kind !== 'contact' || i.email1 === email(l)) || named[0];
    if (!item) { diff.push(`${kind} ${l.displayName} missing from ${pathOf(l.folder)}`); continue; }
    item.matched = true;
    if (kind === 'contact') {
      // The designed first name is the reader's Name: the display name when
      // the book has neither given name nor surname.
      const given = l.givenName || (l.surname ? '' : l.displayName);
      for (const [k, v] of [['givenName', given], ['surname', l.surname], ['companyName', l.company],
        ['email1', email(l)], ['businessPhone', l.businessPhone], ['homeStreet', l.homeStreet],
        ['mobile', l.mobile], ['department', l.department]]) want(`${l.displayName} ${k}`, item[k], v || '');
      if (email(l)) want(`${l.displayName} e-mail name`, item.email1DisplayName, `${l.displayName} (${email(l)})`);
      continue;
    }
    want(`${l.displayName} checksum`, item.checksumOk, true);
    const members = [];
    for (const m of l.members || []) {
      const target = byId.get(m.id);
      if (target && target.kind === 'group') members.push(`list ${target.displayName}`);
      else if (target && email(target)) members.push(`${target.displayName} <${email(target)}>`);
      else if (m.email) members.push(`${m.displayName || m.email} <${m.email}>`);
      else if (!m.missing && !item.body.includes(`Member without an e-mail address: ${m.displayName}`))
        diff.push(`${l.displayName}: ${m.displayName} neither a member nor in the notes`);
    }
    want(`${l.displayName} members`, item.members.map((m) => (m.points === 0xb4 ? `list ${m.name}` : `${m.name} <${m.address}>`)).join(', '),
      members.join(', '));
  }
  return diff;
}

try {
  const file = new PSTFile(process.argv[3]);
  const result = {
    store: file.getMessageStore().displayName,
    unicode: file.pstFileType === PSTFile.PST_TYPE_UNICODE,
    root: walk(file, file.getRootFolder()),
  };
  if (process.argv[4]) {
    const ipm = result.root.folders.find((f) => f.name === 'Top of Personal Folders');
    const top = ipm && ipm.folders.find((f) => f.name.startsWith('WAB Contacts '));
    const diff = top ? compare(process.argv[4], top) : ['no "WAB Contacts" folder'];
    process.stdout.write(diff.join('\n') + (diff.length ? '\n' : ''));
    process.exitCode = diff.length ? 1 : 0;
  } else {
    process.stdout.write(JSON.stringify(result, null, 1) + '\n');
  }
} catch (err) {
  process.stdout.write(JSON.stringify({ error: String(err && err.message ? err.message : err) }) + '\n');
  process.exitCode = 2;
}
