// The browser remote in a real headless Chromium, served by the real program on a stand-in desktop:
// a phone pairs, drives the desktop, comes back by challenge and is turned away once deauthorized.
import assert from 'node:assert/strict';
import {mkdirSync, writeFileSync} from 'node:fs';
import {basename, join} from 'node:path';
import {after, before, test} from 'node:test';
import {chromium} from 'playwright-core';

import {DesktopSession} from './desktopsession.js';

const env = process.env;
const PageGoal = 100 * 1000;
const AppsDrawnGoal = 500;

// Fifty applications; the times last used put them in another order than the desktop lists them.
const apps = Array.from({length: 50}, (_, i) => {
    const number = String(i + 1).padStart(2, '0');
    return {id: `org.example.App${number}.desktop`, name: `Application ${number}`, icon: env.PAVO_APP_ICON};
});
const lastUsed = Object.fromEntries(apps.map(({id}, i) => [id, 1700000000 + ((i * 7) % 50)]));
const appOrder = apps.map(({id}) => id).sort((a, b) => lastUsed[b] - lastUsed[a]);
const state = {
    installedApps: apps,
    runningApps: [appOrder[0], appOrder[1]],
    currentApp: appOrder[0],
    focusedElement: ['text', 'Search', ''],
    volumeLevel: 40,
};

let desktop;
let browser;
let page;

before(async () => {
    mkdirSync(env.PAVO_SCREENSHOTS, {recursive: true});
    desktop = new DesktopSession({state, lastUsed});
    mkdirSync(join(desktop.home, 'Documents/Reports'), {recursive: true});
    writeFileSync(join(desktop.home, 'Documents/notes.txt'), 'Notes\n');
    await desktop.start({program: env.PAVO_PROGRAM, standIn: env.PAVO_STANDIN, panel: env.PAVO_PANEL});
    browser = await chromium.launch({executablePath: '/usr/bin/chromium'});
    page = await browser.newPage({viewport: {width: 390, height: 844}});
    page.setDefaultTimeout(15000);
    page.on('pageerror', error => console.log(`The page failed: ${error.message}`));
});

after(async () => {
    await browser?.close();
    await desktop?.stop();
});

// One figure a line; a missed goal is told, and fails only when far off.
function measure(name, value, unit, goal) {
    console.log(`${name}: ${value} ${unit}`);
    console.log(`${name} ${value < goal ? 'meets' : 'misses'} its goal of under ${goal} ${unit}`);
    assert.ok(value < 5 * goal, `${name} is ${value} ${unit}, five times its goal of ${goal} ${unit}`);
}

function screenshot(screen) {
    return page.screenshot({path: join(env.PAVO_SCREENSHOTS, `${screen}.png`)});
}

function shows(selector, expected) {
    return page.waitForFunction(([selector, expected]) => document.querySelector(selector)?.textContent === expected,
                                [selector, expected]);
}

function mark(name) {
    return page.waitForFunction(name => performance.getEntriesByName(name)[0]?.startTime, name);
}

async function showScreen(screen) {
    await page.click(`nav#tabs button[data-screen="${screen}"]`);
    await page.locator(`section#${screen}`).waitFor();
}

test('the program serves the page on its listening port, small enough for a phone', async () => {
    const responses = [];
    page.on('response', response => responses.push(response));
    const response = await page.goto(`http://127.0.0.1:${desktop.port}/`, {waitUntil: 'load'});
    page.removeAllListeners('response');
    assert.equal(response.status(), 200);
    assert.equal(await page.title(), 'Pavo Server');

    let transferred = 0;
    for (const each of responses) {
        const sizes = await each.request().sizes();
        transferred += sizes.responseHeadersSize + sizes.responseBodySize;
    }
    measure('page.transferred', transferred, 'bytes', PageGoal);
});

test('a phone pairs with the desktop and drives it', async t => {
    // Each step starts where the one before left the page: after a failure the rest are skipped.
    let failed = false;
    const step = (name, body) => t.test(name, {skip: failed && 'an earlier step failed'}, () => body().catch(error => {
        failed = true;
        console.log(`What the desktop's programs said:\n${desktop.errors.join('')}`);
        throw error;
    }));

    await step('the code on the page is the prompt\'s, and consent admits the phone', async () => {
        await page.locator('#pairing-code').waitFor();
        const code = await page.locator('#pairing-code').textContent();
        assert.match(code, /^\d{6}$/);
        assert.equal(await desktop.pairingCode(), code);
        await screenshot('connect');
        await desktop.authorize();
        await mark('pavo-admitted');
        await page.locator('nav#tabs').waitFor();
    });

    await step('the applications come most recently used first, with icons; a tap activates one', async () => {
        await mark('pavo-apps-drawn');
        const listed = await page.$$eval('#app-list > li.app', items => items.map(item => {
            const icon = item.querySelector('img');
            return {
                id: item.dataset.id,
                icon: icon.complete && icon.naturalWidth > 0,
                running: item.matches('.running')
            };
        }));
        assert.deepEqual(listed.map(({id}) => id), appOrder);
        assert.ok(listed.every(({icon}) => icon), 'every application shows its icon');
        assert.deepEqual(listed.filter(({running}) => running).map(({id}) => id), state.runningApps);
        assert.ok(await page.locator(`li.app.current[data-id="${appOrder[0]}"]`).count());
        await screenshot('apps');

        const tapped = appOrder[2];
        await page.click(`li.app[data-id="${tapped}"] button.app-activate`);
        await desktop.call(new RegExp(`^appCommand\\(${tapped.replaceAll('.', '\\.')},activate\\)$`));
        await page.locator(`li.app.current[data-id="${tapped}"]`).waitFor();
    });

    await step('the focused field is set from the phone, and read back from the desktop', async () => {
        await showScreen('keys');
        await page.fill('#focused-value', 'Hello from the phone');
        await page.click('#focused-set');
        await desktop.call(/^setFocusedElementValue\(Hello from the phone\)$/);
        await page.fill('#focused-value', '');
        await page.click('#focused-read');
        await page.waitForFunction(() => document.querySelector('#focused-value').value === 'Hello from the phone');
        await screenshot('keys');
    });

    await step('the volume slider sets the level, and the page shows the one the desktop pushes', async () => {
        await showScreen('system');
        await shows('#volume-value', '40');
        await page.fill('#volume', '73');
        await desktop.call(/^setVolumeLevel\(73\)$/);
        await shows('#volume-value', '73');
        await screenshot('system');
    });

    await step('a directory of the home is browsed and a file in it opened', async () => {
        await showScreen('files');
        await shows('#file-dir', basename(desktop.home));
        await page.click('li.file.directory[data-name="Documents"] button.file-open');
        await shows('#file-dir', 'Documents');
        await page.locator('li.file.directory[data-name="Reports"]').waitFor();
        await screenshot('files');
        await page.click('li.file[data-name="notes.txt"] button.file-open');
        await desktop.opened(/^xdg-open file:\/\/\/.*\/home\/Documents\/notes\.txt$/);
    });

    await step('a reload is admitted by challenge, with no prompt to answer', async () => {
        await page.reload();
        const admitted = await mark('pavo-admitted');
        const drawn = await mark('pavo-apps-drawn');
        measure('page.apps50.drawn', Math.round((await drawn.jsonValue()) - (await admitted.jsonValue())), 'ms',
                AppsDrawnGoal);
    });

    await step('after "Deauthorize All" on the desktop the page offers to pair again, and pairs anew', async () => {
        await desktop.deauthorizeAll();
        await page.locator('#pair-again').waitFor();
        await screenshot('pair-again');
        await page.click('#pair-again');
        await page.locator('#pairing-code').waitFor();
        assert.equal(await desktop.pairingCode(), await page.locator('#pairing-code').textContent());
        await desktop.authorize();
        await page.locator('nav#tabs').waitFor();
    });
});
