// Checks that this Node.js is as new as every package of a lock file asks
// ("engines": {"node": ">=20"}); names the package and the version otherwise.
//   node scripts/check-node.mjs <package-lock.json>
// Exit 0 when new enough, 1 when older, 2 when the lock file cannot be read.
import { readFileSync } from 'node:fs';

const parse = (text) => (text.match(/\d+(\.\d+){0,2}/)?.[0] ?? '0').split('.').map(Number);
const compare = (a, b) => {
  for (let i = 0; i < 3; ++i) if ((a[i] ?? 0) !== (b[i] ?? 0)) return (a[i] ?? 0) - (b[i] ?? 0);
  return 0;
};
const show = (v) => v.concat([0, 0]).slice(0, 3).join('.');

// The oldest version a range admits: the least of its alternatives' lower bounds.
function lowestAdmitted(range) {
  return range.split('||').map((alt) => parse(alt.trim())).reduce((a, b) => (compare(a, b) <= 0 ? a : b));
}

let lock;
try {
  lock = JSON.parse(readFileSync(process.argv[2], 'utf8'));
} catch (e) {
  console.error(`check-node: cannot read ${process.argv[2]}: ${e.message}`);
  process.exit(2);
}
let needed = [0, 0, 0];
let by = '';
for (const [where, pkg] of Object.entries(lock.packages ?? {})) {
  const range = pkg.engines?.node;
  if (!range) continue;
  const lowest = lowestAdmitted(range);
  if (compare(lowest, needed) > 0) {
    needed = lowest;
    by = `${where.replace(/^.*node_modules\//, '')} ${pkg.version ?? ''} ("${range}")`;
  }
}
const have = parse(process.versions.node);
if (compare(have, needed) < 0) {
  console.error(`Node.js ${process.versions.node} is older than ${show(needed)}, which ${by} needs ` +
    `(${process.argv[2]}).\nInstall Node.js ${show(needed)} or newer so that "node" on the PATH is that one ` +
    '(from your distribution\'s backports or another Node.js package), then run this command again.');
  process.exit(1);
}
