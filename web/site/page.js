// SPDX-License-Identifier: Apache-2.0
// Mivaro's window as a web page. How data flows through it:
//
//  Validate  Command1's click hands Text1's text to the window's rules
//            (web_window_validate: RunValidate, compiled to WebAssembly),
//            which answer with the steps the window takes, in order: hide
//            Label3, show Label1 and Label2, tick the boxes, show each message.
//            play() takes them in turn and waits on each message's dialog.
//  Generate  Command2's click hands the ticked boxes' region bits to
//            web_window_generate (GenerateValidNumber), which draws until a
//            number is valid and answers with every attempt; play() shows
//            each candidate in Text1 for its pause, then its check labels.
//            The window is inert while it plays: no input, no cancel.
//
// Every text shown is a [context, English text] pair looked up in the
// window's French translation when the browser speaks French, or the
// English text itself; the page's own captions go through windowText().
"use strict";

(function () {
  let windowContext;  // where the window's own texts are filed, from its layout
  const french = /^fr\b/i.test(navigator.language || "");
  const byId = (id) => document.getElementById(id);

  function shown([context, text]) {
    if (!french || context === "") return text;
    return MIVARO_FRENCH[context]?.[text] ?? text;
  }
  function windowText(text) {
    return shown([windowContext, text]);
  }
  function withValue(text, value) {
    return text.replace("%1", value);
  }

  let module;  // the window's rules, once compiled

  // Calls one of the rules' functions with a text (as UTF-8) or a number, or
  // nothing, and returns the JSON it answers, parsed.
  function call(name, argument) {
    const run = module["_" + name];
    if (typeof argument !== "string") {
      const answer = argument === undefined ? run() : run(argument);
      return JSON.parse(module.UTF8ToString(answer));
    }
    const bytes = new TextEncoder().encode(argument);
    const at = module._malloc(bytes.length + 1);
    try {
      module.HEAPU8.set(bytes, at);
      return JSON.parse(module.UTF8ToString(run(at, bytes.length)));
    } finally {
      module._free(at);
    }
  }

  function place(element, [left, top, width, height]) {
    Object.assign(element.style, {
      left: left + "px",
      top: top + "px",
      width: width + "px",
      height: height + "px",
    });
  }

  // Lays out the client area from the window's own layout, and names
  // every control in the page's language.
  function buildControls(layout) {
    const client = byId("Client");
    client.style.width = layout.width + "px";
    client.style.height = layout.height + "px";
    client.style.fontSize = layout.fontPoints + "pt";
    windowContext = layout.windowContext;
    byId("Text1").maxLength = layout.textMaxLength;
    for (const [name, at] of Object.entries(layout.controls)) place(byId(name), at);

    byId("Text1").setAttribute("aria-label", windowText("SIN"));
    const captions = [
      ["Command1", windowText("Validate")],
      ["Command2", windowText("Generate")],
      ["Label1", windowText("Sum:")],
      ["Label2", windowText("Sum:")],
      ["Label3", windowText("Generated:")],
      ["Label1Description", windowText("Check sum")],
      ["Label2Description", windowText("Check values")],
      ["Label3Description", windowText("Generated attempts")],
      ["File", windowText("File")],
      ["Save", windowText("Save")],
      ["Exit", windowText("Exit")],
      ["About", windowText("About")],
    ];
    for (const [id, caption] of captions) byId(id).textContent = caption;

    const boxes = byId("Boxes");
    layout.boxes.forEach((box, index) => {
      const id = "Check" + (index + 1);
      const holder = document.createElement("span");
      holder.className = "check";
      place(holder, box.place);
      holder.innerHTML =
        `<input type="checkbox" id="${id}" aria-describedby="${id}Name">` +
        `<label for="${id}"></label><span id="${id}Name" hidden></span>`;
      holder.querySelector("label").textContent = box.caption;
      holder.querySelector("[hidden]").textContent = shown(box.name);
      holder.firstChild.dataset.bit = box.bit;
      boxes.append(holder);
    });
  }

  function checkBoxes() {
    return Array.from(byId("Boxes").querySelectorAll("input[type=checkbox]"));
  }

  // Shows one modal dialog and resolves when the user has closed it.
  function showMessage(text) {
    const dialog = byId("Message");
    byId("MessageText").textContent = text;
    dialog.dataset.shown = Number(dialog.dataset.shown ?? 0) + 1;  // for tests: one more
    dialog.showModal();
    byId("MessageOK").focus();
    return new Promise((resolve) => dialog.addEventListener("close", resolve, { once: true }));
  }

  function announce(text) {
    byId("Announce").textContent = text;
  }

  function showCheckLabels(check, sum) {
    byId("Label1").hidden = false;
    byId("Label2").hidden = false;
    byId("Label2").textContent = withValue(windowText("Check: %1"), check);
    byId("Label1").textContent = withValue(windowText("CheckSum: %1"), sum);
  }

  const pause = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

  // Takes the window's steps in order, waiting where the window waits.
  async function play(steps) {
    for (const step of steps) {
      switch (step.do) {
        case "hideGenerated":
          byId("Label3").hidden = true;
          break;
        case "showGenerated":
          byId("Label3").hidden = false;
          break;
        case "clearEntry":
          byId("Text1").value = "";
          break;
        case "labels":
          showCheckLabels(step.check, step.sum);
          break;
        case "flags":
          checkBoxes().forEach((box, index) => {
            box.checked = step.ticked[index];
          });
          break;
        case "message":
          await showMessage(step.lines.map(shown).join("\n"));
          break;
        case "attempt":
          byId("Label3").textContent = withValue(windowText("Generated: %1"), step.count);
          break;
        case "entry":
          byId("Text1").value = step.text;
          await pause(step.pause);
          break;
        default:
          throw new Error("unknown step " + step.do);
      }
    }
  }

  function labelsText() {
    return [byId("Label2"), byId("Label1")]
      .filter((label) => !label.hidden)
      .map((label) => label.textContent)
      .join(", ");
  }

  async function validate() {
    await play(call("web_window_validate", byId("Text1").value));
    announce(labelsText());
  }

  async function generate() {
    const window1 = byId("Form1");
    let bits = 0;
    for (const box of checkBoxes()) if (box.checked) bits |= Number(box.dataset.bit);
    window1.inert = true;
    window1.setAttribute("aria-busy", "true");
    try {
      await play(call("web_window_generate", bits));
    } finally {
      window1.inert = false;
      window1.removeAttribute("aria-busy");
      byId("Command2").focus();
    }
    announce([byId("Label3").textContent, byId("Text1").value, labelsText()].join(", "));
  }

  // Runs one command at a time: a click while one plays is not taken.
  let running = false;
  function command(run) {
    return async () => {
      if (running) return;
      running = true;
      document.body.dataset.busy = "true";  // for tests: a command is playing
      try {
        await run();
      } finally {
        running = false;
        delete document.body.dataset.busy;
      }
    };
  }

  async function about() {
    const lines = call("web_window_about").map((line) => {
      const value = typeof line.value === "string" ? line.value : shown(line.value);
      return withValue(shown(line.text), value);
    });
    await showMessage(lines.join("\n"));
  }

  // A browser closes only the windows a script opened (an installed app's
  // window among them); anywhere else Exit starts the window afresh.
  function exit() {
    window.close();
    setTimeout(() => {
      if (!window.closed) location.reload();
    }, 100);
  }

  // The menu bar: File opens its menu, About shows the About box. One tab
  // stop; arrow keys move along the bar and down the menu, Escape closes it.
  function buildMenu() {
    const file = byId("File");
    const menu = byId("FileMenu");
    const bar = [file, byId("About")];
    const items = [byId("Save"), byId("Exit")];

    const openMenu = (focusIndex) => {
      menu.hidden = false;
      file.setAttribute("aria-expanded", "true");
      items[focusIndex].focus();
    };
    const closeMenu = (refocus) => {
      menu.hidden = true;
      file.setAttribute("aria-expanded", "false");
      if (refocus) file.focus();
    };
    const moveInBar = (from, step) => {
      const next = bar[(bar.indexOf(from) + step + bar.length) % bar.length];
      bar.forEach((item) => item.setAttribute("tabindex", item === next ? "0" : "-1"));
      next.focus();
    };

    file.addEventListener("click", () => (menu.hidden ? openMenu(0) : closeMenu(true)));
    file.addEventListener("keydown", (event) => {
      if (["ArrowDown", "Enter", " "].includes(event.key)) openMenu(0);
      else if (event.key === "ArrowUp") openMenu(items.length - 1);
      else if (event.key === "ArrowRight" || event.key === "ArrowLeft") {
        moveInBar(file, event.key === "ArrowRight" ? 1 : -1);
      } else return;
      event.preventDefault();
    });
    byId("About").addEventListener("keydown", (event) => {
      if (event.key !== "ArrowRight" && event.key !== "ArrowLeft") return;
      moveInBar(byId("About"), event.key === "ArrowRight" ? 1 : -1);
      event.preventDefault();
    });
    menu.addEventListener("keydown", (event) => {
      const index = items.indexOf(document.activeElement);
      if (event.key === "ArrowDown" || event.key === "ArrowUp") {
        const step = event.key === "ArrowDown" ? 1 : -1;
        items[(index + step + items.length) % items.length].focus();
      } else if (event.key === "Escape") {
        closeMenu(true);
      } else if (event.key === "Tab") {
        closeMenu(false);
        return;
      } else return;
      event.preventDefault();
    });
    menu.addEventListener("focusout", (event) => {
      if (!menu.contains(event.relatedTarget) && event.relatedTarget !== file) closeMenu(false);
    });
    // Save stays disabled: it is focusable, as a disabled menu item is, and
    // does nothing.
    byId("Exit").addEventListener("click", () => {
      closeMenu(false);
      exit();
    });
    byId("About").addEventListener("click", command(about));
  }

  // What the window does as it opens: labels hidden, the box empty and
  // focused.
  function formLoad() {
    for (const id of ["Label1", "Label2", "Label3"]) byId(id).hidden = true;
    byId("Text1").value = "";
    byId("Text1").focus();
  }

  async function start() {
    module = await createMivaroWindow();
    if (french) document.documentElement.lang = "fr-CA";
    buildControls(call("web_window_layout"));
    buildMenu();
    byId("Command1").addEventListener("click", command(validate));
    byId("Command2").addEventListener("click", command(generate));
    byId("MessageOK").addEventListener("click", () => byId("Message").close());
    formLoad();
    document.body.dataset.ready = "true";
    // Installable and cached for use offline when served; a page opened
    // from disk may read neither a manifest nor a service worker.
    if (location.protocol.startsWith("http")) {
      const manifest = document.createElement("link");
      manifest.rel = "manifest";
      manifest.href = "manifest.webmanifest";
      document.head.append(manifest);
      navigator.serviceWorker?.register("sw.js").catch(() => {});
    }
  }

  start();
})();
