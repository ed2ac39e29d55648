// SPDX-License-Identifier: Apache-2.0
// The web page in Debian's chromium, driven by puppeteer-core: what the
// window does (messages, boxes, Generate), in English and French, served,
// offline after one visit and opened from disk, with axe-core's WCAG 2.1 A
// and AA rules; and the npm package imported in the browser. MIVARO_SITE
// names the built page's folder, MIVARO_PACKAGE the installed package's,
// MIVARO_TOOLS the folder where the test tools were installed from npm and
// MIVARO_VERSION the version the page was built as.
import assert from "node:assert/strict";
import { readdirSync, readFileSync } from "node:fs";
import { createServer } from "node:http";
import { createRequire } from "node:module";
import { dirname, extname, join, resolve } from "node:path";
import { after, before, test } from "node:test";
import { fileURLToPath, pathToFileURL } from "node:url";
import { gzipSync } from "node:zlib";

const site = resolve(process.env.MIVARO_SITE);
const packageDir = resolve(process.env.MIVARO_PACKAGE);
const version = process.env.MIVARO_VERSION;
const tools = createRequire(resolve(process.env.MIVARO_TOOLS, "package.json"));
const { default: puppeteer } = await import(pathToFileURL(tools.resolve("puppeteer-core")));
const axeSource = tools.resolve("axe-core/axe.min.js");
const source = join(dirname(fileURLToPath(import.meta.url)), "..", "..");

// The French the window's translators wrote, by English text.
const french = new Map(
  [...readFileSync(join(source, "ui", "mivaro_fr.ts"), "utf8").matchAll(
    /<source>(.*?)<\/source>\s*<translation>(.*?)<\/translation>/gs,
  )].map(([, english, translated]) => [english, translated.replace(/&#xa0;/g, "\u00a0").replace(/&apos;/g, "'")]),
);

const TYPES = { ".html": "text/html", ".js": "text/javascript", ".css": "text/css", ".svg": "image/svg+xml", ".png": "image/png", ".webmanifest": "application/manifest+json" };
let server;
let origin;
let browser;
const problems = [];  // console errors and failed requests, from every page

before(async () => {
  server = createServer((request, response) => {
    const name = new URL(request.url, "http://x").pathname.replace(/\/$/, "/index.html");
    // The npm package under /package/, beside an empty page to import it in.
    const [root, file] = name.startsWith("/package/")
      ? [packageDir, name.slice("/package".length)]
      : [site, name];
    try {
      const body = file === "/index.html" && root === packageDir
        ? "<!DOCTYPE html><title>package</title>"
        : readFileSync(join(root, file));
      response.writeHead(200, { "content-type": TYPES[extname(name)] ?? "application/octet-stream" });
      response.end(body);
    } catch {
      response.writeHead(404).end();
    }
  });
  await new Promise((resolve) => server.listen(0, "127.0.0.1", resolve));
  origin = `http://127.0.0.1:${server.address().port}`;
  browser = await puppeteer.launch({
    executablePath: process.env.CHROMIUM ?? "/usr/bin/chromium",
    args: ["--headless=new", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
      "--disable-background-networking", "--disable-component-update", "--disable-sync"],
  });
});

after(async () => {
  await browser?.close();
  server?.close();
});

async function open(url, { language, bypassCsp = false } = {}) {
  const context = await browser.createBrowserContext();
  const page = await context.newPage();
  page.on("console", (message) => {
    if (message.type() === "error") problems.push(`${url}: ${message.text()}`);
  });
  page.on("pageerror", (error) => problems.push(`${url}: ${error.message}`));
  if (language) {
    await page.evaluateOnNewDocument((tag) => {
      Object.defineProperty(navigator, "language", { get: () => tag });
    }, language);
  }
  await page.setBypassCSP(bypassCsp);
  await page.goto(url);
  await page.waitForSelector("body[data-ready]");
  return page;
}

const text = (page, selector) => page.$eval(selector, (element) => element.textContent);
const value = (page) => page.$eval("#Text1", (element) => element.value);
const ticked = (page) =>
  page.$$eval("#Boxes input", (boxes) =>
    boxes.filter((box) => box.checked).map((box) => box.labels[0].textContent).join(" "));

// Clicks a control and closes each message the command shows, in order,
// until it is done; returns the messages.
async function runCommand(page, selector) {
  const messages = [];
  let seen = await page.$eval("#Message", (dialog) => Number(dialog.dataset.shown ?? 0));
  await page.click(selector);
  for (;;) {
    const state = await page.waitForFunction((count) => {
      const dialog = document.querySelector("#Message");
      if (dialog.open && Number(dialog.dataset.shown) > count) return "message";
      return !dialog.open && !document.body.dataset.busy ? "done" : false;
    }, {}, seen);
    if ((await state.jsonValue()) === "done") return messages;
    seen += 1;
    messages.push(await text(page, "#MessageText"));
    await page.click("#MessageOK");
  }
}

async function validate(page, entry) {
  await page.$eval("#Text1", (element, typed) => { element.value = typed; }, entry);
  return runCommand(page, "#Command1");
}

const ATLANTIC = "Nova Scotia, New Brunswick, Prince Edward Island, and Newfoundland and Labrador";

test("Validate shows the window's messages in order, ticks the region's boxes and fills the labels", async () => {
  const page = await open(origin + "/");
  assert.equal(await page.title(), `Mivaro v${version}`);
  assert.equal(await page.$$eval("#Boxes label", (labels) => labels.map((l) => l.textContent).join(" ")),
    "AB BC MB NB NU NWT ON PEI NF QC YT NS SK");
  assert.equal(await page.$eval("#Label1", (label) => label.hidden), true);
  const rows = [
    // entry, messages, boxes ticked, Text1 afterwards, labels
    ["123456782", [`SIN is VALID for:\n${ATLANTIC}`], "NB PEI NF NS", "123456782", "Check: 143853772 CheckSum: 40"],
    ["123456789", [`SIN is VALID for:\n${ATLANTIC}`, "SIN is INVALID"], "NB PEI NF NS", "123456789", "Check: 143853779 CheckSum: 47"],
    ["046454286", ["SIN is VALID for FOREIGN//TAX"], "", "046454286", "Check: 086858276 CheckSum: 50"],
    ["800000002", ["SIN is VALID but DUMMY"], "", "800000002", "Check: 800000002 CheckSum: 10"],
    ["300000007", ["SIN is VALID for:\nQuebec"], "QC", "300000007", "Check: 300000007 CheckSum: 10"],
    ["1234567890", ["SIN # is only 9 digits!"], "QC", "", "Check: 300000007 CheckSum: 10"],
    ["12345678a", ["SIN # must contain only digits!"], "QC", "12345678a", "Check: 300000007 CheckSum: 10"],
    ["12345", ["SIN # must be 9 digits!"], "QC", "12345", "Check: 300000007 CheckSum: 10"],
  ];
  for (const [entry, messages, boxes, after, labels] of rows) {
    assert.deepEqual(await validate(page, entry), messages, entry);
    assert.equal(await ticked(page), boxes, entry);
    assert.equal(await value(page), after, entry);
    assert.equal(`${await text(page, "#Label2")} ${await text(page, "#Label1")}`, labels, entry);
  }
  assert.equal(await text(page, "#Announce"), "Check: 300000007, CheckSum: 10");
});

test("Generate shows each attempt 75 ms apart, takes no input meanwhile and ends valid for the first ticked region", async () => {
  const page = await open(origin + "/");
  await page.click("#Check10");  // QC
  await page.click("#Check7");  // ON, after Quebec in priority
  const started = Date.now();
  await page.click("#Command2");
  assert.equal(await page.$eval("#Form1", (window1) => window1.inert), true);
  await page.waitForFunction(() => !document.body.dataset.busy);
  const elapsed = Date.now() - started;
  const attempts = Number((await text(page, "#Label3")).replace("Generated: ", ""));
  assert.ok(attempts >= 1);
  assert.ok(elapsed >= 75 * attempts - 20, `${attempts} attempts in ${elapsed} ms`);
  const number = await value(page);
  assert.match(number, /^[23][1-9]{8}$/);
  const sum = Number((await text(page, "#Label1")).replace("CheckSum: ", ""));
  assert.ok(sum > 0 && sum % 10 === 0, String(sum));
  assert.equal(await page.$eval("#Form1", (window1) => window1.inert), false);
  assert.equal(await page.evaluate(() => document.activeElement.id), "Command2");
});

test("everything works from the keyboard: the controls in the window's tab order, the menu and the dialogs", async () => {
  const page = await open(origin + "/");
  assert.equal(await page.evaluate(() => document.activeElement.id), "Text1");
  const order = [];
  for (let i = 0; i < 4; i++) {
    await page.keyboard.press("Tab");
    order.push(await page.evaluate(() => document.activeElement.id));
  }
  assert.deepEqual(order, ["Command1", "Command2", "Check1", "Check2"]);
  await page.keyboard.press("Space");
  assert.equal(await ticked(page), "BC");

  await page.focus("#Text1");
  await page.keyboard.type("700000003");
  await page.keyboard.press("Tab");
  await page.keyboard.press("Enter");
  await page.waitForSelector("#Message[open]");
  assert.equal(await page.evaluate(() => document.activeElement.id), "MessageOK");
  await page.keyboard.press("Enter");
  await page.waitForFunction(() => !document.body.dataset.busy);
  assert.equal(await ticked(page), "BC YT");

  await page.focus("#File");
  await page.keyboard.press("ArrowDown");
  assert.equal(await page.$eval("#FileMenu", (menu) => menu.hidden), false);
  assert.equal(await page.evaluate(() => document.activeElement.id), "Save");
  assert.equal(await page.$eval("#Save", (item) => item.getAttribute("aria-disabled")), "true");
  await page.keyboard.press("Escape");
  assert.equal(await page.$eval("#FileMenu", (menu) => menu.hidden), true);
  await page.keyboard.press("ArrowRight");
  assert.equal(await page.evaluate(() => document.activeElement.id), "About");
  await page.keyboard.press("Enter");
  await page.waitForSelector("#Message[open]");
  assert.match(await text(page, "#MessageText"),
    /^Mivaro v1\.1 by the Mivaro developers\nMivaro v1\.1\nE-Mail: mivaro@example\.org\n/);
});

test("screen readers get every control's name, the dialogs' text and the results", async () => {
  const page = await open(origin + "/");
  const flat = [];
  const walk = (node) => { flat.push(`${node.role}:${node.name}`); node.children?.forEach(walk); };
  walk(await page.accessibility.snapshot());
  for (const expected of ["textbox:SIN", "button:Validate", "button:Generate", "checkbox:NB", "menuitem:File", "menuitem:About"]) {
    assert.ok(flat.includes(expected), `${expected} in ${flat.join(", ")}`);
  }
  const box = await page.$("#Check4");
  assert.equal((await page.accessibility.snapshot({ root: box })).description, "New Brunswick");
  await page.$eval("#Text1", (element) => { element.value = "12345"; });
  await page.click("#Command1");
  await page.waitForSelector("#Message[open]");
  const dialog = await page.accessibility.snapshot({ root: await page.$("#Message") });
  assert.equal(dialog.role, "dialog");
  assert.equal(dialog.name, "Mivaro");
  assert.equal(dialog.description, "SIN # must be 9 digits!");
});

test("axe-core finds no WCAG 2.1 A or AA violation, with the menu open or a dialog showing", async () => {
  const page = await open(origin + "/", { bypassCsp: true });
  await page.addScriptTag({ path: axeSource });
  const violations = () =>
    page.evaluate(async () => {
      const results = await axe.run(document, {
        runOnly: { type: "tag", values: ["wcag2a", "wcag2aa", "wcag21a", "wcag21aa"] },
      });
      return results.violations.map((v) => `${v.id}: ${v.nodes.map((n) => n.target).join(" ")}`);
    });
  assert.deepEqual(await violations(), [], "as it opens");
  await page.click("#File");
  assert.deepEqual(await violations(), [], "the File menu open");
  await page.keyboard.press("Escape");
  await validate(page, "123456782");
  await page.$eval("#Text1", (element) => { element.value = "12345"; });
  await page.click("#Command1");
  await page.waitForSelector("#Message[open]");
  assert.deepEqual(await violations(), [], "a message showing, the labels filled");
});

test("in French the page shows the window's French texts", async () => {
  const page = await open(origin + "/", { language: "fr-CA" });
  assert.equal(await page.$eval("html", (html) => html.lang), "fr-CA");
  assert.equal(await text(page, "#Command1"), french.get("Validate"));
  assert.equal(await text(page, "#Command2"), french.get("Generate"));
  assert.equal(await text(page, "#File"), french.get("File"));
  assert.deepEqual(await validate(page, "300000008"), [
    `${french.get("SIN is VALID for:")}\n${french.get("Quebec")}`,
    french.get("SIN is INVALID"),
  ]);
  assert.equal(await page.$eval("#Check10Name", (name) => name.textContent), french.get("Quebec"));
});

test("after one visit the page works with no network", async () => {
  const page = await open(origin + "/");
  await page.evaluate(() => navigator.serviceWorker.ready);
  await page.reload();
  await page.waitForSelector("body[data-ready]");
  assert.equal(await page.evaluate(() => Boolean(navigator.serviceWorker.controller)), true);
  assert.ok(await page.$('link[rel="manifest"]'));
  await page.setOfflineMode(true);
  await page.reload();
  await page.waitForSelector("body[data-ready]");
  assert.deepEqual(await validate(page, "046454286"), ["SIN is VALID for FOREIGN//TAX"]);
});

test("opened straight from disk, the page works and reports nothing", async () => {
  const page = await open(pathToFileURL(join(site, "index.html")).href);
  assert.deepEqual(await validate(page, "700000003"), ["SIN is VALID for:\nBritish Columbia and Yukon"]);
  await page.evaluate(() => { window.before = true; });
  await page.click("#File");
  await Promise.all([page.waitForNavigation(), page.click("#Exit")]);
  await page.waitForSelector("body[data-ready]");
  assert.equal(await page.evaluate(() => window.before), undefined, "Exit started the window afresh");
  assert.equal(await value(page), "");
});

test("the page's first load stays under 150 KiB gzipped", () => {
  const size = readdirSync(site)
    .map((name) => gzipSync(readFileSync(join(site, name)), { level: 9 }).length)
    .reduce((a, b) => a + b);
  assert.ok(size < 150 * 1024, `${size} bytes, every file of the page counted`);
});

test("the npm package runs in the browser as in Node", async () => {
  const mivaro = await import(pathToFileURL(join(packageDir, "index.js")));
  const page = await (await browser.createBrowserContext()).newPage();
  await page.goto(origin + "/package/");
  const text = "Employee SIN 046 454 286, 😀 NAS 130-692-544";
  const inBrowser = await page.evaluate(async (sample) => {
    const m = await import("/package/index.js");
    return [m.check("123 456 782"), m.generate({ count: 5, seed: 9n, regions: ["ON"] }),
      m.find(sample), m.redact(sample, { allDigits: true }), m.isValidMany(["046454286", "x"])];
  }, text);
  assert.deepEqual(inBrowser, [mivaro.check("123 456 782"),
    mivaro.generate({ count: 5, seed: 9n, regions: ["ON"] }), mivaro.find(text),
    mivaro.redact(text, { allDigits: true }), [true, false]]);
});

test("no page logged an error or broke its Content-Security-Policy", () => {
  assert.deepEqual(problems, []);
});
