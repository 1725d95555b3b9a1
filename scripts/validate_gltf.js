// Runs the Khronos glTF validator over .glb files; exits 1 when any has an error (or none was given).
// Usage: node scripts/validate_gltf.js VALIDATOR_FOLDER FILE.glb...
//   VALIDATOR_FOLDER is where `npm install gltf-validator` was run.
const fs = require('fs');
const path = require('path');

const [validatorFolder, ...files] = process.argv.slice(2);
const validator = require(path.resolve(validatorFolder, 'node_modules', 'gltf-validator'));

async function main() {
  if (files.length === 0) {
    console.log('no .glb files to validate');
    return 1;
  }
  let failed = 0;
  for (const file of files) {
    const report = await validator.validateBytes(new Uint8Array(fs.readFileSync(file)), {maxIssues: 20});
    const n = report.issues;
    console.log(`${file}: ${n.numErrors} errors, ${n.numWarnings} warnings, ${n.numInfos} infos`);
    for (const m of n.messages.filter((m) => m.severity <= 1)) {
      console.log(`  ${m.severity === 0 ? 'error' : 'warning'} ${m.code} ${m.pointer || ''}: ${m.message}`);
    }
    if (n.numErrors > 0) failed++;
  }
  console.log(`${files.length - failed} passed, ${failed} failed`);
  return failed > 0 ? 1 : 0;
}

main().then((code) => process.exit(code), (e) => {
  console.error(e);
  process.exit(1);
});
