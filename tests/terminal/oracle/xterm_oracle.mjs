// Reads one case per input line, "COLS ROWS HEX" (the bytes written to a fresh terminal, hex-encoded),
// feeds the bytes to @xterm/headless, and prints for each case "CURSOR X Y", then one line per screen
// row (its code points in hex separated by ".", trailing spaces removed, "-" for an empty row), then "END".
import { createInterface } from 'node:readline';
import xterm from '@xterm/headless';

const codePoints = (text) => (text.length === 0 ? '-' : [...text].map((c) => c.codePointAt(0).toString(16)).join('.'));

function run(cols, rows, bytes) {
  const term = new xterm.Terminal({ cols, rows, scrollback: 0, allowProposedApi: true });
  return new Promise((resolve) => {
    term.write(bytes, () => {
      const buffer = term.buffer.active;
      const out = [`CURSOR ${buffer.cursorX} ${buffer.cursorY}`];
      for (let y = 0; y < rows; y++) {
        out.push(codePoints(buffer.getLine(buffer.viewportY + y).translateToString(true).replace(/ +$/, '')));
      }
      out.push('END');
      term.dispose();
      resolve(out.join('\n'));
    });
  });
}

const lines = createInterface({ input: process.stdin, crlfDelay: Infinity });
for await (const line of lines) {
  if (line.length === 0) continue;
  const [cols, rows, data] = line.split(' ');
  process.stdout.write((await run(Number(cols), Number(rows), Buffer.from(data ?? '', 'hex'))) + '\n');
}
