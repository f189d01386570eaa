// gjs -m checkmodule.js <extension.js>: exits 0 when the file parses as an ES module. Outside a
// running shell its imports cannot be resolved, so loading must fail there and nowhere earlier.
import System from 'system';

const [path] = ARGV;
let failure = null;
try {
    await import(`file://${path}`);
} catch (error) {
    failure = error;
}
const unresolved = failure && !(failure instanceof SyntaxError) &&
    /gi:\/\/|resource:\/\/\/|Typelib|namespace/.test(`${failure.message}`);
if (!unresolved) {
    printerr(failure ? `${failure.name}: ${failure.message} (${failure.fileName}:${failure.lineNumber})`
        : 'the module loaded outside the shell');
    System.exit(1);
}
