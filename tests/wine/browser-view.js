// Opens the run command's address in Chromium, headless, as a user would,
// and checks what the page shows. Called by tests/wine/run-in-browser.sh
// with DISPLAY set to the run command's virtual display.
//
//   node browser-view.js <address> <screenshot.png> <main window id>
//     waits for noVNC's "Connected", focuses the main window with a click
//     and sends Enter, Ctrl+1 and Ctrl+2 through the page, then takes the
//     screenshot and checks the road, the layout and the caption buttons
//   node browser-view.js --cannot-connect <address>
//     checks that the page says it failed to connect
//
// Chromium is driven over the DevTools protocol on a pipe, so nothing but
// Node and Chromium is needed. Prints "ok   - ..." and "FAIL - ..." lines as
// the shell tests do, and "# ..." notes; exits 1 on any failure.
'use strict';
const { spawn, execFileSync } = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');
const zlib = require('zlib');

const Viewport = { width: 1280, height: 800 };  // a laptop's browser window
let failures = 0;
const log = (text) => console.log(`# ${text}`);
const check = (name, good) => {
    console.log(`${good ? 'ok  ' : 'FAIL'} - ${name}`);
    if (!good) failures++;
    return good;
};
const sleep = (ms) => new Promise((done) => setTimeout(done, ms));

// --- Chromium over the DevTools protocol -------------------------------------

class Browser {
    constructor() {
        this.profile = fs.mkdtempSync(path.join(os.tmpdir(), 'ombrane-chromium.'));
        this.proc = spawn('chromium', [
            '--headless=new', '--no-sandbox', '--disable-gpu', '--remote-debugging-pipe',
            `--user-data-dir=${this.profile}`, '--no-first-run', '--no-default-browser-check',
            '--disable-background-networking', '--disable-component-update', '--disable-sync',
            '--disable-extensions', '--mute-audio', '--hide-scrollbars',
            `--window-size=${Viewport.width},${Viewport.height}`, 'about:blank',
        ], { stdio: ['ignore', 'ignore', 'pipe', 'pipe', 'pipe'], detached: true });
        this.next = 1;
        this.waiting = new Map();
        this.pending = '';
        this.errors = '';
        this.proc.stderr.on('data', (d) => { this.errors = (this.errors + d).slice(-2000); });
        this.proc.stdio[4].on('data', (chunk) => this.receive(chunk));
        this.proc.on('exit', () => {
            for (const { reject, method } of this.waiting.values())
                reject(new Error(`Chromium ended during ${method}: ${this.errors.trim()}`));
            this.waiting.clear();
        });
    }

    receive(chunk) {
        this.pending += chunk.toString('utf8');
        let end;
        while ((end = this.pending.indexOf('\0')) >= 0) {
            const message = JSON.parse(this.pending.slice(0, end));
            this.pending = this.pending.slice(end + 1);
            const call = this.waiting.get(message.id);
            if (!call)
                continue;
            this.waiting.delete(message.id);
            if (message.error)
                call.reject(new Error(`${call.method}: ${message.error.message}`));
            else
                call.resolve(message.result);
        }
    }

    send(method, params = {}, sessionId = undefined) {
        const id = this.next++;
        return new Promise((resolve, reject) => {
            this.waiting.set(id, { resolve, reject, method });
            this.proc.stdio[3].write(JSON.stringify({ id, method, params, sessionId }) + '\0');
        });
    }

    // The first tab, sized as a laptop's browser window.
    async open(address) {
        const { targetInfos } = await this.send('Target.getTargets');
        const tab = targetInfos.find((t) => t.type === 'page') ||
            await this.send('Target.createTarget', { url: 'about:blank' });
        const { sessionId } = await this.send('Target.attachToTarget',
            { targetId: tab.targetId, flatten: true });
        this.page = (method, params) => this.send(method, params, sessionId);
        await this.page('Emulation.setDeviceMetricsOverride',
            { ...Viewport, deviceScaleFactor: 1, mobile: false });
        await this.page('Page.navigate', { url: address });
    }

    async evaluate(expression) {
        const r = await this.page('Runtime.evaluate', { expression, returnByValue: true });
        if (r.exceptionDetails)
            throw new Error(`in the page: ${r.exceptionDetails.text}`);
        return r.result.value;
    }

    async waitFor(expression, seconds) {
        for (let i = 0; i < seconds * 4; i++) {
            const value = await this.evaluate(expression).catch(() => null);
            if (value)
                return value;
            await sleep(250);
        }
        return null;
    }

    close() {
        try { process.kill(-this.proc.pid, 'SIGKILL'); } catch (e) { /* already gone */ }
        fs.rmSync(this.profile, { recursive: true, force: true });
    }
}

// --- what the page shows ----------------------------------------------------

const CanvasBox = `(() => {
    const c = document.querySelector('#noVNC_container canvas');
    if (!c || !c.width) return null;
    const r = c.getBoundingClientRect();
    return { left: r.left, top: r.top, width: r.width, height: r.height, fbWidth: c.width, fbHeight: c.height };
})()`;

// Pixels of a region of the framebuffer, as noVNC holds it: 1:1, whatever
// the scaling on the page.
async function framebuffer(browser, x, y, width, height) {
    const data = await browser.evaluate(`(() => {
        const c = document.querySelector('#noVNC_container canvas');
        const d = c.getContext('2d').getImageData(${x}, ${y}, ${width}, ${height}).data;
        let s = '';
        for (let i = 0; i < d.length; i++) s += String.fromCharCode(d[i]);
        return btoa(s);
    })()`);
    return { width, height, channels: 4, pixels: Buffer.from(data, 'base64') };
}

// The 8-bit RGB or RGBA PNG that Chromium writes.
function decodePng(file) {
    const buf = fs.readFileSync(file);
    let pos = 8, width = 0, height = 0, depth = 0, type = 0, interlace = 0;
    const data = [];
    while (pos + 8 <= buf.length) {
        const length = buf.readUInt32BE(pos);
        const name = buf.toString('ascii', pos + 4, pos + 8);
        const body = buf.subarray(pos + 8, pos + 8 + length);
        if (name === 'IHDR')
            [width, height, depth, type, interlace] =
                [body.readUInt32BE(0), body.readUInt32BE(4), body[8], body[9], body[12]];
        else if (name === 'IDAT')
            data.push(body);
        pos += 12 + length;
    }
    if (depth !== 8 || (type !== 2 && type !== 6) || interlace)
        throw new Error(`${file}: not an 8-bit RGB(A) PNG`);
    const channels = type === 6 ? 4 : 3, stride = width * channels;
    const raw = zlib.inflateSync(Buffer.concat(data));
    const pixels = Buffer.alloc(stride * height);
    for (let y = 0; y < height; y++) {
        const filter = raw[y * (stride + 1)], row = y * (stride + 1) + 1;
        for (let x = 0; x < stride; x++) {
            const a = x >= channels ? pixels[y * stride + x - channels] : 0;
            const b = y > 0 ? pixels[(y - 1) * stride + x] : 0;
            const c = x >= channels && y > 0 ? pixels[(y - 1) * stride + x - channels] : 0;
            let v = raw[row + x];
            if (filter === 1) v += a;
            else if (filter === 2) v += b;
            else if (filter === 3) v += (a + b) >> 1;
            else if (filter === 4) {
                const p = a + b - c, pa = Math.abs(p - a), pb = Math.abs(p - b), pc = Math.abs(p - c);
                v += pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
            }
            pixels[y * stride + x] = v & 255;
        }
    }
    return { width, height, channels, pixels };
}

function rgb(image, x, y) {
    const i = (y * image.width + x) * image.channels;
    return [image.pixels[i], image.pixels[i + 1], image.pixels[i + 2]];
}
const luminance = ([r, g, b]) => (299 * r + 587 * g + 114 * b) / 1000;
const saturation = (p) => Math.max(...p) - Math.min(...p);

// In one part of the road: rows darkened by lane lines, and white rows
// between them. The console's black screen or a window over the road has
// neither pattern.
function roadRows(image, box) {
    let lines = 0, white = 0;
    for (let y = box.top; y < box.bottom; y++) {
        let sum = 0;
        for (let x = box.left; x < box.right; x++)
            sum += luminance(rgb(image, x, y));
        const mean = sum / (box.right - box.left);
        if (mean < 225) lines++;
        if (mean > 235) white++;
    }
    return { lines, white, rows: box.bottom - box.top };
}

function carPixels(image, box) {
    let n = 0;
    for (let y = box.top; y < box.bottom; y++)
        for (let x = box.left; x < box.right; x++)
            if (saturation(rgb(image, x, y)) >= 100) n++;
    return n;
}

// The three caption buttons at the right end of a title bar, found as the
// columns that are mostly light grey, the button face, in the caption rows.
function captionButtons(strip) {
    const light = (x, y) => { const p = rgb(strip, x, y); return luminance(p) >= 180 && saturation(p) <= 40; };
    const columns = [];
    for (let x = 0; x < strip.width; x++) {
        let n = 0;
        for (let y = 0; y < strip.height; y++) if (light(x, y)) n++;
        columns.push(n >= strip.height / 3);
    }
    const runs = [];
    for (let x = 0; x < strip.width; x++) {
        if (!columns[x]) continue;
        const start = x;
        while (x + 1 < strip.width && columns[x + 1]) x++;
        if (x - start + 1 >= 8) runs.push([start, x]);
    }
    // Each face runs up and down from the caption's middle to its 3D edges,
    // seen in its last column, right of any glyph.
    const middle = Math.min(8, strip.height - 1);
    return runs.slice(-3).map(([x0, x1]) => {
        let y0 = middle, y1 = middle;
        while (y0 > 0 && light(x1, y0 - 1)) y0--;
        while (y1 < strip.height - 1 && light(x1, y1 + 1)) y1++;
        // The glyph: the dark pixels on the face; its 3D edges are outside.
        const dark = [];
        for (let y = y0; y <= y1; y++)
            for (let x = x0; x <= x1; x++)
                if (luminance(rgb(strip, x, y)) < 160) dark.push([x, y]);
        return { x0, x1, y0, y1, dark };
    });
}

function glyphShape(dark) {
    if (!dark.length) return null;
    const xs = dark.map((p) => p[0]), ys = dark.map((p) => p[1]);
    const box = { left: Math.min(...xs), right: Math.max(...xs), top: Math.min(...ys), bottom: Math.max(...ys) };
    const set = new Set(dark.map(([x, y]) => `${x},${y}`));
    const mirrored = dark.filter(([x, y]) => set.has(`${box.left + box.right - x},${y}`)).length;
    let widest = 0;
    for (let y = box.top; y <= box.bottom; y++)
        widest = Math.max(widest, dark.filter((p) => p[1] === y).length);
    return { height: box.bottom - box.top + 1, width: box.right - box.left + 1,
        symmetry: mirrored / dark.length, widest };
}

// Marlett's minimise bar, maximise box and close cross, not the digits and
// the letter ("0 1 r") that a missing Marlett leaves.
function checkCaption(strip, where) {
    const buttons = captionButtons(strip);
    if (!check(`three caption buttons at the right of ${where}`, buttons.length === 3))
        return;
    const [minimise, maximise, close] = buttons.map((b) => glyphShape(b.dark));
    log(`${where}: caption glyphs ${JSON.stringify([minimise, maximise, close])}`);
    check(`${where}: minimise shows a bar, not "0"`, !!minimise && minimise.height <= 3 && minimise.width >= 4);
    check(`${where}: maximise shows a box, not "1"`, !!maximise && maximise.widest >= 6);
    check(`${where}: close shows a cross, not "r"`, !!close && close.symmetry >= 0.8 && close.width >= 5);
}

// --- the X display beside it ------------------------------------------------

function geometry(window) {
    const out = execFileSync('xdotool', ['getwindowgeometry', '--shell', window], { encoding: 'utf8' });
    const v = Object.fromEntries(out.trim().split('\n').map((l) => l.split('=')));
    return { left: +v.X, top: +v.Y, right: +v.X + +v.WIDTH, bottom: +v.Y + +v.HEIGHT };
}
function findWindow(title) {
    try {
        return execFileSync('xdotool', ['search', '--onlyvisible', '--name', title], { encoding: 'utf8' })
            .trim().split('\n')[0] || null;
    } catch (e) {
        return null;
    }
}
function stepOfTitle(window) {
    const title = execFileSync('xdotool', ['getwindowname', window], { encoding: 'utf8' });
    const m = /#\( *(-?\d+)\)/.exec(title);
    return m ? +m[1] : null;
}
const overlap = (a, b) => a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
const show = (r) => `${r.left},${r.top}-${r.right},${r.bottom}`;
async function eventually(seconds, test) {
    for (let i = 0; i < seconds * 4; i++) {
        const v = await test();
        if (v) return v;
        await sleep(250);
    }
    return null;
}

// --- input through the page -------------------------------------------------

// noVNC's status bar covers the top of the page for a while after it has
// connected; a click is sent once the display itself is under the pointer.
async function click(browser, canvas, x, y) {
    const scale = canvas.width / canvas.fbWidth;
    const at = { x: canvas.left + (x + 0.5) * scale, y: canvas.top + (y + 0.5) * scale, button: 'left' };
    const uncovered = await browser.waitFor(
        `document.elementFromPoint(${at.x}, ${at.y}).tagName === 'CANVAS'`, 10);
    check('nothing on the page covers the display where the click goes', !!uncovered);
    await browser.page('Input.dispatchMouseEvent', { type: 'mouseMoved', ...at, button: 'none' });
    await browser.page('Input.dispatchMouseEvent', { type: 'mousePressed', ...at, clickCount: 1 });
    await sleep(80);
    await browser.page('Input.dispatchMouseEvent', { type: 'mouseReleased', ...at, clickCount: 1 });
}

async function key(browser, name, code, keyCode, text, modifiers = 0) {
    const k = { key: name, code, windowsVirtualKeyCode: keyCode, nativeVirtualKeyCode: keyCode, modifiers };
    await browser.page('Input.dispatchKeyEvent', { type: 'keyDown', ...k, ...(text ? { text } : {}) });
    await sleep(60);
    await browser.page('Input.dispatchKeyEvent', { type: 'keyUp', ...k });
    await sleep(60);
}

async function control(browser, digit) {
    const ctrl = { key: 'Control', code: 'ControlLeft', windowsVirtualKeyCode: 17, modifiers: 2 };
    await browser.page('Input.dispatchKeyEvent', { type: 'keyDown', ...ctrl });
    await key(browser, digit, `Digit${digit}`, 48 + +digit, '', 2);
    await browser.page('Input.dispatchKeyEvent', { type: 'keyUp', ...ctrl, modifiers: 0 });
}

// --- the two runs -----------------------------------------------------------

async function firstLook(browser, address, screenshot, main) {
    await browser.open(address);
    const connected = await browser.waitFor(
        `document.documentElement.classList.contains('noVNC_connected') &&
         document.getElementById('noVNC_status').textContent`, 30);
    check('the page says "Connected"', typeof connected === 'string' && /^Connected/.test(connected));
    if (connected) log(`noVNC: ${connected}`);
    const canvas = await browser.waitFor(CanvasBox, 10);
    if (!check('the page shows the display', !!canvas))
        return;
    const fits = canvas.left >= -1 && canvas.top >= -1 &&
        canvas.left + canvas.width <= Viewport.width + 1 && canvas.top + canvas.height <= Viewport.height + 1;
    const fills = canvas.width >= 0.97 * Viewport.width || canvas.height >= 0.97 * Viewport.height;
    check(`the ${canvas.fbWidth}x${canvas.fbHeight} display is scaled to the ${Viewport.width}x${Viewport.height} window`,
        fits && fills && canvas.width < canvas.fbWidth);

    // The desk helper moves the main window beside the console as soon as
    // it shows; the click waits for that.
    const consoleWindow = findWindow('^Ombrane Console$');
    const placed = await eventually(20, () => {
        const b = geometry(main);
        return (!consoleWindow || !overlap(b, geometry(consoleWindow))) && b;
    });
    check('the main window is moved beside the console', !!placed);

    // A click on the caption selects the main window, as the console's
    // first hint asks; Enter starts the run. A loaded machine may drop the
    // first click's focus, so a second try is allowed.
    const before = stepOfTitle(main);
    let moved = null, tries = 0;
    while (moved === null && tries < 2) {
        tries++;
        const box = geometry(main);
        await click(browser, canvas, box.left + 120, box.top + 10);
        await sleep(300);
        await key(browser, 'Enter', 'Enter', 13, '\r');
        moved = await eventually(15, () => { const s = stepOfTitle(main); return s !== null && s > before && s; });
    }
    check('Enter sent through the page starts the run: the title\'s step count moves', moved !== null);
    log(`step in the title: ${before} before Enter, ${moved} after (${tries} tries)`);

    await control(browser, '1');
    await control(browser, '2');
    const spaceTime = await eventually(15, () => findWindow('^Space-Time Diagram$'));
    const chart = await eventually(15, () => findWindow('^Speed Chart$'));
    check('Ctrl+1 and Ctrl+2 sent through the page open the two views', !!spaceTime && !!chart);

    // The desk helper moves each window as it shows; wait until they stand
    // apart, then look.
    const boxes = () => {
        const b = { 'main window': geometry(main) };
        if (consoleWindow) b.console = geometry(consoleWindow);
        if (spaceTime) b['Space-Time Diagram'] = geometry(spaceTime);
        if (chart) b['Speed Chart'] = geometry(chart);
        return b;
    };
    const apart = (b) => Object.values(b).every((r, i, all) =>
        r.left >= 0 && r.top >= 0 && r.right <= canvas.fbWidth && r.bottom <= canvas.fbHeight &&
        all.every((s, j) => i === j || !overlap(r, s)));
    const laid = await eventually(10, () => { const b = boxes(); return apart(b) && b; }) || boxes();
    log(Object.entries(laid).map(([name, r]) => `${name} ${show(r)}`).join(', '));
    check('the console, the main window and the views fit the screen side by side', apart(laid));
    await sleep(1500);      // the views draw their first figures

    const shot = await browser.page('Page.captureScreenshot', { format: 'png' });
    fs.writeFileSync(screenshot, Buffer.from(shot.data, 'base64'));
    const image = decodePng(screenshot);
    check('the screenshot is the browser window', image.width === Viewport.width && image.height === Viewport.height);

    // The road: the main window's client area, clear of frame, caption and
    // menu, mapped to the scaled page.
    const windowBox = laid['main window'];
    const scale = canvas.width / canvas.fbWidth;
    const toPage = (x, y) => [Math.round(canvas.left + x * scale), Math.round(canvas.top + y * scale)];
    const [left, top] = toPage(windowBox.left + 8, windowBox.top + 52);
    const [right, bottom] = toPage(windowBox.right - 8, windowBox.bottom - 8);
    const third = Math.floor((right - left) / 3);
    ['left', 'middle', 'right'].forEach((name, i) => {
        const part = roadRows(image, { left: left + i * third, right: left + (i + 1) * third, top, bottom });
        log(`road, ${name} third: ${part.lines} rows with lane lines, ${part.white} white of ${part.rows}`);
        check(`the road's lane lines show in its ${name} third, uncovered`,
            part.lines >= 10 && part.white >= 0.3 * part.rows);
    });
    const cars = carPixels(image, { left, right, top, bottom });
    log(`coloured car pixels on the road: ${cars}`);
    check('the cars show on the road', cars >= 100);

    // The caption buttons, 1:1 from noVNC's framebuffer.
    for (const [name, window] of [['the main window', main], ['the console', consoleWindow]]) {
        if (!window) continue;
        const r = geometry(window);
        checkCaption(await framebuffer(browser, r.right - 90, r.top + 2, 88, 22), name);
    }
}

async function cannotConnect(browser, address) {
    await browser.open(address);
    const status = await browser.waitFor(
        `(t => /Failed to connect|went wrong|Disconnected/.test(t) && t)(document.getElementById('noVNC_status').textContent)`, 30);
    check('the page says it failed to connect', !!status);
    if (status) log(`noVNC: ${status}`);
}

async function main() {
    const args = process.argv.slice(2);
    const browser = new Browser();
    const watchdog = setTimeout(() => { check('the browser checks end within 150 s', false); finish(); }, 150000);
    const finish = () => { clearTimeout(watchdog); browser.close(); process.exit(failures ? 1 : 0); };
    try {
        if (args[0] === '--cannot-connect')
            await cannotConnect(browser, args[1]);
        else
            await firstLook(browser, args[0], args[1], args[2]);
    } catch (e) {
        check(`the browser session: ${e.message}`, false);
    }
    finish();
}

if (require.main === module)
    main();
else
    module.exports = { Browser, decodePng, checkCaption, captionButtons, glyphShape, click, key };
