// Checks xAPI statements, one JSON object a line on standard input, with Learning Locker's
// validation library; prints each invalid statement's problems and exits 1 when there is one.
const validate = require('@learninglocker/xapi-validation').default;
const lines = require('fs').readFileSync(0, 'utf8').split('\n').filter(Boolean);
let invalid = 0;
for (const line of lines) {
  const warnings = validate(JSON.parse(line));
  if (warnings.length) {
    invalid++;
    const problems = warnings.map(w => w.path.join('.') + ': ' + w.constructor.name);
    console.log(JSON.parse(line).id + ' ' + problems.join(', '));
  }
}
console.log(lines.length + ' statements, ' + invalid + ' invalid');
process.exit(invalid ? 1 : 0);
