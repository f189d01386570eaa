// The browser remote in a real headless Chromium, served by the real program on a stand-in desktop.
import assert from 'node:assert/strict';
import {mkdirSync} from 'node:fs';
import {join} from 'node:path';
import {after, before, test} from 'node:test';
import {chromium} from 'playwright-core';

import {DesktopSession} from './desktopsession.js';

const env = process.env;
const screenshots = env.PAVO_SCREENSHOTS;
const PageGoal = 100 * 1000;

let desktop;
let browser;

before(async () => {
    mkdirSync(screenshots, {recursive: true});
    desktop = new DesktopSession({state: {installedApps: [], volumeLevel: 40}});
    await desktop.start({program: env.PAVO_PROGRAM, standIn: env.PAVO_STANDIN, panel: env.PAVO_PANEL});
    browser = await chromium.launch({executablePath: '/usr/bin/chromium'});
});

after(async () => {
    await browser?.close();
    await desktop?.stop();
});

// One figure a line; a missed goal is told, and fails only when far off.
function measure(name, value, unit, goal) {
    console.log(`${name}: ${value} ${unit}`);
    if (value > goal)
        console.log(`${name} misses its goal of ${goal} ${unit}`);
    assert.ok(value < 5 * goal, `${name} is ${value} ${unit}, five times its goal of ${goal} ${unit}`);
}

test('the program serves the page on its listening port, small enough for a phone', async () => {
    const page = await browser.newPage({viewport: {width: 390, height: 844}});
    const responses = [];
    page.on('response', response => responses.push(response));
    const response = await page.goto(`http://127.0.0.1:${desktop.port}/`);
    assert.equal(response.status(), 200);
    assert.equal(await page.title(), 'Pavo Server');
    await page.screenshot({path: join(screenshots, 'connect.png')});

    let transferred = 0;
    for (const each of responses) {
        const sizes = await each.request().sizes();
        transferred += sizes.responseHeadersSize + sizes.responseBodySize;
    }
    measure('page.transferred', transferred, 'bytes', PageGoal);
});
