"use strict";
(() => {
  const $ = (id) => document.getElementById(id);
  const form = $("options");
  const TEXT = new TextDecoder("latin1");
  const MAX_DRAWN = 16384;
  // The most of a text the box shows: a text area takes some 5 ms a kilobyte to lay out, and a
  // long animation's text of tens of megabytes would hold the page up for minutes. Copy and
  // Download give it whole.
  const MAX_SHOWN = 1 << 16;
  // The options the page offers, from the tool's table once it is loaded: their long names, a
  // flag's and a value's apart.
  const FLAGS = [];
  const VALUES = [];

  // The converter runs in a Worker made from the module's script and tivranoConverter (from
  // converter.js), both inside this page, so that the page opens from file:// too; where no
  // Worker starts, it runs in the page.
  const pending = new Map();
  let asked = 0;
  let send = null;
  let started = null; // how the converter runs: "worker", or "page"
  function receive(message) {
    if (message.failed) {
      if (started !== "worker") {
        $("status").textContent = "tivrano: the converter did not start: " + message.failed;
        return;
      }
      fallBack();
      return;
    }
    const call = pending.get(message.id);
    if (!call) return;
    if ("progress" in message) { call.progress(message.progress); return; }
    pending.delete(message.id);
    call.resolve(message.result || message.options);
  }
  function inPage() {
    started = "page";
    const take = tivranoConverter(receive);
    send = (message) => { take(message); };
  }
  let worker = null;
  // A Worker that fails to start hands what it was asked to the page.
  function fallBack() {
    worker.terminate();
    inPage();
    for (const { message } of pending.values()) send(message);
  }
  const self = document.currentScript;
  function startWorker() {
    const module = [...document.scripts].find((s) => s !== self &&
                                              s.textContent.includes("createTivrano"));
    const source = module.textContent + "\n" + tivranoConverter.toString() +
      "\nconst take = tivranoConverter((m, moved) => postMessage(m, moved || []));" +
      "\nonmessage = (e) => take(e.data);\n";
    const url = URL.createObjectURL(new Blob([source], { type: "text/javascript" }));
    worker = new Worker(url);
    started = "worker";
    worker.onmessage = (event) => receive(event.data);
    worker.onerror = (event) => {
      event.preventDefault();
      if (started === "worker") fallBack();
    };
    send = (message) => worker.postMessage(message);
  }
  try {
    startWorker();
  } catch (e) {
    inPage();
  }
  function ask(message, progress = () => {}) {
    const id = ++asked;
    return new Promise((resolve) => {
      pending.set(id, { resolve, progress, message: { ...message, id } });
      send({ ...message, id });
    });
  }
  let ready = null;
  const loaded = () => {
    ready = ready || ask({ kind: "options" }).then(drawControls);
    return ready;
  };

  const GROUPS = { conversion: "Every conversion", animation: "Animations: a name, and several " +
                   "images or --pack", send: "Play on LEDs, through a serial port" };
  // The options of Play on LEDs, which the text's conversions leave out.
  const SENDING = [];

  // A form control for each option the tool's table holds and the page offers, named after the
  // long option and shown by the table's words for it, the option beside them: a check box for a
  // flag, a list for a choice (the tool's default unnamed, so that it passes no option), a
  // number field for one whole number in a range, a text field for any other value, the last two
  // showing what the tool does without it; the help, as --help words it, is the tooltip.
  function drawControls(options) {
    const sets = [];
    for (const option of options) {
      let set = sets.find((s) => s.dataset.group === option.group);
      if (!set) {
        set = document.createElement("fieldset");
        set.dataset.group = option.group;
        set.append(Object.assign(document.createElement("legend"),
                                 { textContent: GROUPS[option.group] || option.group }));
        sets.push(set);
      }
      const label = document.createElement("label");
      label.title = option.help;
      const words = Object.assign(document.createElement("span"), { textContent: option.label });
      const name = Object.assign(document.createElement("code"), { textContent: "--" + option.name });
      let control;
      if (!option.value && !option.choices.length) {
        control = Object.assign(document.createElement("input"), { type: "checkbox" });
        FLAGS.push(option.name);
      } else if (option.choices.length) {
        // A flag that may take a choice (--pack=small) is off, or one of them.
        control = document.createElement("select");
        if (!option.value) control.append(new Option("", ""));
        for (const choice of option.choices)
          control.append(new Option(choice, choice === option.unset ? "" : choice));
        VALUES.push(option.name);
      } else if (option.range) {
        control = Object.assign(document.createElement("input"),
                                { type: "number", min: option.range[0], max: option.range[1],
                                  step: 1, placeholder: option.unset || option.value });
        VALUES.push(option.name);
      } else {
        control = Object.assign(document.createElement("input"),
                                { type: "text", placeholder: option.unset || option.value });
        VALUES.push(option.name);
      }
      control.name = option.name;
      if (option.group === "send") SENDING.push(option.name);
      if (option.value || option.choices.length) label.append(words, name, control);
      else label.append(control, words, name);
      set.append(label);
    }
    form.prepend(...sets);
    loadFragment();
  }

  // window.tivrano.convert(bytes, options): bytes a Uint8Array, or an array of them for the
  // frames of an animation (named image.bmp, or frame1.bmp, frame2.bmp... in the tool's
  // messages, whatever the images are); options an object of long option names, true for a
  // flag, and map an LED map's bytes (named ledmap). Resolves to the tool's {output, status,
  // errors}; with binary: true, output is the file --binary writes.
  window.tivrano = {
    convert: (bytes, options) => loaded().then(async () => {
      const inputs = Array.isArray(bytes)
        ? bytes.map((b, k) => ({ name: "frame" + (k + 1) + ".bmp", bytes: b }))
        : [{ name: "image.bmp", bytes }];
      const call = { ...options };
      if (call.map !== undefined) call.map = { name: "ledmap", bytes: call.map };
      const result = await ask({ kind: "convert", inputs, options: call });
      return { output: result.output, status: result.status, errors: result.errors };
    }),
  };

  let canvasAltered = null;

  // A plain 24-bit BMP of RGBA pixels laid on `background`, rows bottom-up, padded to 4 bytes.
  function bmp(width, height, rgba, background) {
    const row = (3 * width + 3) & ~3;
    const bytes = new Uint8Array(54 + row * height);
    const view = new DataView(bytes.buffer);
    bytes[0] = 66; bytes[1] = 77;
    view.setUint32(2, bytes.length, true);
    view.setUint32(10, 54, true);
    view.setUint32(14, 40, true);
    view.setInt32(18, width, true);
    view.setInt32(22, height, true);
    view.setUint16(26, 1, true);
    view.setUint16(28, 24, true);
    view.setUint32(34, row * height, true);
    for (let y = 0; y < height; ++y) {
      let at = 54 + (height - 1 - y) * row;
      for (let x = 0; x < width; ++x) {
        const p = 4 * (y * width + x);
        const a = rgba[p + 3];
        for (const c of [2, 1, 0]) {
          bytes[at++] = Math.round((rgba[p + c] * a + background[c] * (255 - a)) / 255);
        }
      }
    }
    return bytes;
  }

  function pixels(source, width, height) {
    const canvas = document.createElement("canvas");
    canvas.width = width;
    canvas.height = height;
    const context = canvas.getContext("2d", { willReadFrequently: true });
    context.clearRect(0, 0, width, height);
    context.drawImage(source, 0, 0);
    return context.getImageData(0, 0, width, height).data;
  }

  // Whether the canvas gives back what it was given: a privacy setting may add noise to what
  // pages read from it, which would turn into wrong values.
  async function canvasIsTrue() {
    const width = 4, height = 2;
    const known = new Uint8ClampedArray(4 * width * height);
    for (let k = 0; k < known.length; ++k) known[k] = k % 4 === 3 ? 255 : (k * 37 + 11) & 255;
    const bitmap = await createImageBitmap(new ImageData(known, width, height),
                                           { colorSpaceConversion: "none", premultiplyAlpha: "none" });
    const read = pixels(bitmap, width, height);
    return read.every((value, k) => value === known[k]);
  }

  // The colour --background names, for the images the browser decodes; black for none.
  function backgroundColour() {
    const hex = /^#?([0-9a-f]{6})$/i.exec(form.elements.background.value.trim());
    return [0, 2, 4].map((k) => (hex ? parseInt(hex[1].slice(k, k + 2), 16) : 0));
  }

  const isBmp = (b) => b[0] === 0x42 && b[1] === 0x4d;
  const isPng = (b) => [0x89, 0x50, 0x4e, 0x47].every((v, k) => b[k] === v);
  const isGif = (b) => [0x47, 0x49, 0x46, 0x38].every((v, k) => b[k] === v);

  // What the tool is given for a file: BMP, PNG and GIF files as they are, which the tool
  // decodes itself; other images (JPEG, WebP) decoded by the browser without colour
  // conversion into BMPs, every frame of an animated one where the browser has ImageDecoder,
  // with its delays.
  async function inputsOf(file) {
    const bytes = new Uint8Array(await file.arrayBuffer());
    if (isBmp(bytes) || isPng(bytes) || isGif(bytes))
      return { inputs: [{ name: file.name, bytes }], delays: [], note: "" };
    if (canvasAltered === null) canvasAltered = !(await canvasIsTrue());
    if (canvasAltered)
      throw new Error("this browser changes what pages read from a canvas (a privacy setting does " +
                      "that), so images it decodes would come out wrong; convert BMP, PNG or GIF " +
                      "files, or allow canvas reading for this page");
    try {
      return await decodedByBrowser(file, bytes);
    } catch (e) {
      throw new Error("this browser cannot decode it (" + e.message + ")");
    }
  }

  async function decodedByBrowser(file, bytes) {
    const background = backgroundColour();
    const type = file.type || "image/" + (file.name.split(".").pop() || "").toLowerCase();
    const browser = "decoded by this browser, which may decode it differently from another";
    if ("ImageDecoder" in window && await ImageDecoder.isTypeSupported(type)) {
      const decoder = new ImageDecoder({ data: bytes, type, colorSpaceConversion: "none",
                                         premultiplyAlpha: "none" });
      await decoder.tracks.ready;
      const count = decoder.tracks.selectedTrack.frameCount;
      const inputs = [], delays = [];
      for (let k = 0; k < count; ++k) {
        const { image } = await decoder.decode({ frameIndex: k });
        const width = image.displayWidth, height = image.displayHeight;
        inputs.push({ name: count > 1 ? file.name + ", frame " + (k + 1) : file.name,
                      bytes: bmp(width, height, pixels(image, width, height), background) });
        delays.push(Math.round((image.duration || 0) / 1000));
        image.close();
      }
      decoder.close();
      return { inputs, delays: count > 1 ? delays : [], browser: true, note: browser };
    }
    const bitmap = await createImageBitmap(new Blob([bytes]),
                                           { colorSpaceConversion: "none", premultiplyAlpha: "none" });
    const bytesOfBmp = bmp(bitmap.width, bitmap.height,
                           pixels(bitmap, bitmap.width, bitmap.height), background);
    return { inputs: [{ name: file.name, bytes: bytesOfBmp }], delays: [], browser: true,
             note: browser + (/webp/.test(type) ? "; only its first frame (no ImageDecoder here)" : "") };
  }

  // The options chosen: those of the text, or with `sending` those of Play on LEDs alone.
  function chosen(sending = false) {
    const options = {};
    for (const key of FLAGS) options[key] = form.elements[key].checked;
    for (const key of VALUES) options[key] = form.elements[key].value.trim();
    for (const key of Object.keys(options))
      if (SENDING.includes(key) !== sending) delete options[key];
    if (ledMap) options.map = ledMap;
    return options;
  }

  // The state of the form, in the URL's fragment, so that a setting can be bookmarked.
  function saveFragment() {
    const state = new URLSearchParams();
    for (const key of FLAGS) if (form.elements[key].checked) state.set(key, "1");
    for (const key of VALUES) {
      const value = form.elements[key].value.trim();
      if (value) state.set(key, value);
    }
    history.replaceState(null, "", "#" + state.toString());
  }

  function loadFragment() {
    const state = new URLSearchParams(location.hash.slice(1));
    for (const key of FLAGS) form.elements[key].checked = state.get(key) === "1";
    for (const key of VALUES) {
      if (!state.has(key)) continue;
      const control = form.elements[key];
      // A flag that came to take a choice (--pack) was "1" in bookmarks made before: its first.
      const old = control.tagName === "SELECT" && state.get(key) === "1" &&
                  ![...control.options].some((choice) => choice.value === "1");
      control.value = old ? control.options[1].value : state.get(key);
    }
  }

  // Orders file names by the numbers in them: f9 before f10.
  function natural(a, b) {
    return a.name.localeCompare(b.name, undefined, { numeric: true, sensitivity: "base" });
  }

  let files = [];
  let ledMap = null; // the LED map chosen beside the images: {name, bytes}
  let chosenAt = 0; // which choice of files `files` and `ledMap` is
  let results = [];
  let conversions = 0;
  let lastAsked = "";

  // The tool's words for a failure, for the status line: its line on standard output, or for
  // its usage text, which says only that the call was wrong, the reason on standard error.
  function failure(result) {
    const line = TEXT.decode(result.output).trim();
    return !line.includes("\n") && line ? line
      : result.errors.split("\n").find((l) => l.startsWith("tivrano: ")) || line;
  }

  function failed(title, message) {
    return { title, output: new Uint8Array(), status: -1, errors: "tivrano: " + message + "\n",
             header: null, preview: null, options: {}, inputs: [] };
  }

  async function convertAll() {
    await loaded();
    saveFragment();
    const options = chosen();
    const asking = JSON.stringify([chosenAt, { ...options, map: undefined }]);
    if (!files.length || asking === lastAsked) return;
    lastAsked = asking;
    const conversion = ++conversions;
    const current = () => conversion === conversions;
    $("status").textContent = "Converting…";
    $("output").setAttribute("aria-busy", "true");
    const progress = (frames) => {
      if (current())
        $("status").textContent = "Converting " + frames + (frames === 1 ? " frame…" : " frames…");
    };
    const made = [];
    const decoded = [];
    for (const file of [...files].sort(natural)) {
      try {
        decoded.push({ file, ...(await inputsOf(file)) });
      } catch (e) {
        made.push(failed(file.name, file.name + ": " + e.message));
      }
    }
    if (!current()) return; // a later choice is being converted
    made.push(...await conversionsOf(decoded, options, progress, current));
    if (!current()) return;
    results = made.sort((a, b) => natural({ name: a.title }, { name: b.title }));
    $("output").removeAttribute("aria-busy");
    const list = $("result");
    list.replaceChildren(...results.map((r, k) => new Option(
      r.status !== 0 ? "✗ " + r.title + " (not converted)" : r.title, String(k))));
    list.hidden = results.length < 2;
    const failures = results.filter((r) => r.status !== 0);
    const outcome = !failures.length ? "Converted."
      : results.length === 1 ? "Not converted: " + failure(results[0])
      : failures.length + " of " + results.length + " not converted (marked ✗): " +
        failures.map((r) => r.title).join(", ") + ".";
    $("status").textContent = outcome;
    // The first converted result, else the first.
    const first = Math.max(0, results.findIndex((r) => r.status === 0));
    list.value = String(first);
    show(first);
  }

  // The files' conversions, each file alone, or with a name all of them as one animation.
  async function conversionsOf(decoded, options, progress, current) {
    const made = [];
    const byBrowser = (list) => list.filter((d) => d.browser)
      .map((d) => d.file.name + ": " + d.note).join("\n");
    if (options.name && decoded.length) {
      const inputs = decoded.flatMap((d) => d.inputs);
      const delays = decoded.flatMap((d) => d.delays);
      const call = { ...options };
      if (!call["delay-ms"] && delays.length === inputs.length) call["delay-ms"] = delays.join(",");
      // Whether the files make an animation, and so come with a header, the tool says.
      const result = await ask({ kind: "convert", inputs, options: call, preview: true,
                                 maxDrawn: MAX_DRAWN,
                                 headerWhenAnimated: "/out/" + options.name + ".h" }, progress);
      made.push({ title: options.name, ...result, inputs, byBrowser: byBrowser(decoded) });
    } else {
      for (const d of decoded) {
        const inputs = d.inputs.slice(0, 1);
        const result = await ask({ kind: "convert", inputs, options, preview: true,
                                   maxDrawn: MAX_DRAWN }, progress);
        if (!current()) return [];
        const notes = d.inputs.length < 2 ? "" : "tivrano: " + d.file.name + ": an animation of " +
          d.inputs.length + " frames: the first is converted; with --name, all of them are, as " +
          "an animation\n";
        made.push({ title: d.file.name, ...result, inputs, errors: notes + result.errors,
                    byBrowser: byBrowser([d]) });
      }
    }
    return made;
  }

  // The result chosen, or none: a failure leaves the text, its size and the preview empty.
  function show(index) {
    const result = results[index];
    const good = Boolean(result) && result.status === 0;
    for (const id of ["copy", "download", "download-binary", "play-leds"]) $(id).disabled = !good;
    const text = good ? TEXT.decode(result.output.subarray(0, MAX_SHOWN)) : "";
    $("output").value = text;
    $("cut").textContent = good && result.output.length > MAX_SHOWN
      ? "The box shows the first " + MAX_SHOWN + " bytes; Copy and Download give all " +
        result.output.length + "." : "";
    $("errors").textContent = result ? result.errors : "";
    $("decoded-by").textContent = result && result.byBrowser || "";
    $("download-header").hidden = !good || !result.header;
    // An animation's text says what it stores; an image stores its array, a frame's bytes, which
    // are also what a frame's LED buffer takes in RAM.
    const stored = /(\d+) bytes stored/.exec(text);
    const made = good && result.preview;
    const flash = stored ? stored[1] : made ? made.frameBytes * made.count : null;
    $("size").textContent = !good ? "" : result.output.length + " bytes of text" +
      (flash === null ? "" : ", " + flash + " bytes in flash") +
      (made ? ", " + made.frameBytes + " bytes of RAM for a frame's LEDs" : "");
    preview(good ? result.preview : null);
  }

  // NAME.c, or another extension, for a named array, else the image's own name with it.
  function fileName(result, extension = ".c") {
    return (result.options.name || result.title.replace(/\.[^.]*$/, "") || "animationX") +
      extension;
  }

  function download(bytes, name) {
    const link = document.createElement("a");
    link.href = URL.createObjectURL(new Blob([bytes], { type: "application/octet-stream" }));
    link.download = name;
    document.body.append(link);
    link.click();
    setTimeout(() => { URL.revokeObjectURL(link.href); link.remove(); }, 1000);
  }

  // The preview: the LEDs the tool lights, from what the converter read back of the same
  // frames under the same options (their places through the wiring, their colours as the
  // array's values light them: grb's through the order, rgb565's as a panel shows them, mono's
  // lit white or dark).
  let shown = null;
  let frameIndex = 0;
  let timer = null;

  function preview(made) {
    clearTimeout(timer);
    timer = null;
    $("play").textContent = "Play";
    $("player").hidden = true;
    $("frame").textContent = "";
    $("hover").textContent = "";
    shown = null;
    const canvas = $("preview");
    const context = canvas.getContext("2d");
    context.fillStyle = "#101014";
    context.fillRect(0, 0, canvas.width, canvas.height);
    if (!made) return;
    // Drawn one dot each, a few thousand LEDs fit the panel; a photo's worth would not.
    const leds = made.leds;
    if (!made.places) {
      context.fillStyle = "#ccc";
      context.font = "16px system-ui, sans-serif";
      context.fillText("The preview draws up to " + MAX_DRAWN + " LEDs; this image has " + leds +
                       ".", 20, 40);
      return;
    }
    // Which LED lies at each place.
    const ledAt = [];
    made.places.forEach((place, led) => { ledAt[place] = led; });
    const frames = Array.from({ length: made.count }, (_, k) => ({
      rgb: made.shown.subarray(3 * leds * k, 3 * leds * (k + 1)),
      held: made.held && made.held.subarray(leds * k, leds * (k + 1)),
    }));
    shown = { ...made, frames, ledAt };
    frameIndex = 0;
    $("player").hidden = shown.frames.length < 2;
    draw();
  }

  function geometry() {
    const canvas = $("preview");
    const cell = Math.max(2, Math.min(48, Math.floor(Math.min((canvas.width - 20) / shown.width,
                                                               (canvas.height - 20) / shown.height))));
    return { cell, left: (canvas.width - cell * shown.width) / 2,
             top: (canvas.height - cell * shown.height) / 2 };
  }

  function draw() {
    if (!shown) return;
    const canvas = $("preview");
    const context = canvas.getContext("2d");
    const { cell, left, top } = geometry();
    context.fillStyle = "#101014";
    context.fillRect(0, 0, canvas.width, canvas.height);
    const { rgb } = shown.frames[frameIndex];
    const leds = shown.places.length;
    context.beginPath();
    for (let led = 0; led < leds; ++led) {
      const at = shown.places[led];
      const x = left + (at % shown.width + 0.5) * cell, y = top + (Math.floor(at / shown.width) + 0.5) * cell;
      if (led === 0) context.moveTo(x, y); else context.lineTo(x, y);
    }
    context.strokeStyle = "#5a8dee88";
    context.lineWidth = Math.max(1, cell / 10);
    context.stroke();
    for (let led = 0; led < leds; ++led) {
      const at = shown.places[led];
      const x = left + (at % shown.width + 0.5) * cell, y = top + (Math.floor(at / shown.width) + 0.5) * cell;
      context.beginPath();
      context.arc(x, y, Math.max(1, cell * 0.38), 0, 2 * Math.PI);
      context.fillStyle = "rgb(" + rgb.subarray(3 * led, 3 * led + 3).join(",") + ")";
      context.fill();
      if (led === 0) {
        context.strokeStyle = "#fff";
        context.lineWidth = Math.max(1, cell / 12);
        context.stroke();
      }
    }
    $("frame").textContent = shown.frames.length > 1
      ? "frame " + (frameIndex + 1) + " of " + shown.frames.length +
        (shown.delays[frameIndex] !== undefined ? ", " + shown.delays[frameIndex] + " ms" : "") : "";
  }

  function step(by) {
    if (!shown) return;
    frameIndex = (frameIndex + by + shown.frames.length) % shown.frames.length;
    draw();
  }

  function play() {
    step(1);
    timer = setTimeout(play, Math.max(20, shown.delays[frameIndex] || 100));
  }

  $("preview").addEventListener("mousemove", (event) => {
    if (!shown) return;
    const canvas = $("preview");
    const bounds = canvas.getBoundingClientRect();
    const { cell, left, top } = geometry();
    const px = (event.clientX - bounds.left) * canvas.width / bounds.width;
    const py = (event.clientY - bounds.top) * canvas.height / bounds.height;
    const x = Math.floor((px - left) / cell), y = Math.floor((py - top) / cell);
    if (x < 0 || y < 0 || x >= shown.width || y >= shown.height) { $("hover").textContent = ""; return; }
    // A map may leave cells without an LED: the nearest LED, then.
    let led = shown.ledAt[y * shown.width + x];
    if (led === undefined) {
      const away = (at) => (at % shown.width - x) ** 2 + (Math.floor(at / shown.width) - y) ** 2;
      led = shown.places.reduce((best, at, k) => (away(at) < away(shown.places[best]) ? k : best), 0);
    }
    const at = shown.places[led];
    $("hover").textContent = "LED " + led + " at x " + at % shown.width + ", y " +
      Math.floor(at / shown.width) + ": " + ledWords(led);
  });
  // What the array holds for an LED: grb's values in their order ("G 10, R 20, B 30"); an
  // rgb565 value as the text writes it, with the colour a panel shows for it; mono's bit.
  function ledWords(led) {
    const { rgb, held } = shown.frames[frameIndex];
    const colour = (c) => c + " " + rgb[3 * led + "RGB".indexOf(c)];
    if (shown.format === "rgb565")
      return "0x" + held[led].toString(16).toUpperCase().padStart(4, "0") + " (" +
        [...shown.order].map(colour).join(", ") + " on a panel)";
    if (shown.format === "mono") return held[led] ? "1, lit" : "0, unlit";
    return [...shown.order].map(colour).join(", ");
  }
  $("previous").addEventListener("click", () => step(-1));
  $("next").addEventListener("click", () => step(1));
  $("play").addEventListener("click", () => {
    if (timer) { clearTimeout(timer); timer = null; $("play").textContent = "Play"; return; }
    $("play").textContent = "Pause";
    timer = setTimeout(play, Math.max(20, shown.delays[frameIndex] || 100));
  });
  $("result").addEventListener("change", () => {
    const result = results[Number($("result").value)];
    show(Number($("result").value));
    $("status").textContent = result.status === 0 ? "Converted."
      : result.title + ": not converted: " + failure(result);
  });
  // The tool's text as it is, \r\n and all, which the text area's value would not keep.
  $("copy").addEventListener("click", () => {
    const result = results[Number($("result").value || 0)];
    navigator.clipboard.writeText(TEXT.decode(result.output)).then(
      () => { $("status").textContent = "Copied."; },
      () => { $("status").textContent = "The browser refused to copy: select the text instead."; });
  });
  $("download").addEventListener("click", () => {
    const result = results[Number($("result").value || 0)];
    download(result.output, fileName(result));
  });
  $("download-header").addEventListener("click", () => {
    const result = results[Number($("result").value || 0)];
    download(result.header, result.options.name + ".h");
  });
  // The file --binary writes for the result shown, from the same images under the same
  // options: with no header, which binary output has no text for, and without --progmem,
  // which places an array of text and has no bearing on its bytes.
  $("download-binary").addEventListener("click", async () => {
    const result = results[Number($("result").value || 0)];
    const call = { ...result.options, binary: true };
    delete call.header;
    delete call.progmem;
    const at = conversions;
    $("status").textContent = "Writing the binary file…";
    const made = await ask({ kind: "convert", inputs: result.inputs, options: call });
    if (made.status === 0) download(made.output, fileName(result, ".bin"));
    if (at !== conversions) return; // the page converts something else by now
    $("status").textContent = made.status === 0 ? "Binary file: " + made.output.length + " bytes."
      : "Binary file not written: " + failure(made);
    if (made.status !== 0) $("errors").textContent = made.errors;
  });
  // Play on LEDs: the frames of the result shown, as tivrano --send sends them, through the
  // serial port the user picks (Web Serial), each held for its delay, as many times as --loop
  // says; pressed again, it stops.
  let playing = null;
  $("play-leds").addEventListener("click", async () => {
    if (playing) { playing.stop = true; return; }
    if (!("serial" in navigator)) {
      $("status").textContent = "This browser cannot reach a serial port (Web Serial is in " +
        "Chrome and Edge): use tivrano --send there, or another browser.";
      return;
    }
    const result = results[Number($("result").value || 0)];
    const call = { ...result.options, ...chosen(true) };
    // The LEDs take the wiring and the colours; what only a text holds, and with Adalight, which
    // sends red, green and blue, the values' order and format, have no bearing on them.
    const ignored = ["name", "header", "pack", "progmem", "max-bytes"];
    if (call.protocol !== "tpm2") ignored.push("order", "format", "swap-bytes", "threshold");
    for (const key of ignored) delete call[key];
    const made = await ask({ kind: "live", inputs: result.inputs, options: call });
    if (made.status !== 0) {
      $("status").textContent = "Not sent: " + failure(made);
      $("errors").textContent = made.errors;
      return;
    }
    let port;
    try {
      port = await navigator.serial.requestPort();
      await port.open({ baudRate: made.baud });
    } catch (e) {
      $("status").textContent = "No serial port: " + e.message;
      return;
    }
    playing = { stop: false };
    $("play-leds").textContent = "Stop";
    const writer = port.writable.getWriter();
    let sent = 0;
    try {
      for (let round = 0; !playing.stop && (made.loop === 0 || round < made.loop); ++round) {
        for (let k = 0; k < made.ends.length && !playing.stop; ++k) {
          const start = performance.now();
          await writer.write(made.messages.subarray(k ? made.ends[k - 1] : 0, made.ends[k]));
          ++sent;
          const left = made.delays[k] - (performance.now() - start);
          if (left > 0) await new Promise((done) => setTimeout(done, left));
        }
      }
      $("status").textContent = "Played " + sent + (sent === 1 ? " frame" : " frames") + " on LEDs.";
    } catch (e) {
      $("status").textContent = "The serial port failed: " + e.message;
    } finally {
      writer.releaseLock();
      await port.close();
      playing = null;
      $("play-leds").textContent = "Play on LEDs";
    }
  });
  // An LED map (.json or .csv) among the files is the map of the images chosen with it, or
  // before it when it comes alone.
  const isMap = (file) => /\.(json|csv)$/i.test(file.name);
  const showMap = () => {
    $("map").hidden = !ledMap;
    $("map-name").textContent = ledMap ? "LED map: " + ledMap.name + " (--map)" : "";
  };
  const choose = async (list) => {
    const map = [...list].filter(isMap).pop();
    const images = [...list].filter((file) => !isMap(file));
    if (map) ledMap = { name: map.name, bytes: new Uint8Array(await map.arrayBuffer()) };
    if (images.length || !map) files = images;
    showMap();
    ++chosenAt;
    convertAll();
  };
  $("map-remove").addEventListener("click", () => {
    ledMap = null;
    showMap();
    ++chosenAt;
    convertAll();
  });
  $("file").addEventListener("change", () => choose($("file").files));
  form.addEventListener("change", convertAll);
  // Typed values take effect as they are typed, once typing pauses.
  let typing = null;
  form.addEventListener("input", (event) => {
    if (event.target.type !== "text" && event.target.type !== "number") return;
    clearTimeout(typing);
    typing = setTimeout(convertAll, 300);
  });
  form.addEventListener("submit", (event) => event.preventDefault());
  const drop = $("drop");
  for (const name of ["dragenter", "dragover"])
    document.addEventListener(name, (event) => { event.preventDefault(); drop.classList.add("over"); });
  document.addEventListener("dragleave", () => drop.classList.remove("over"));
  document.addEventListener("drop", (event) => {
    event.preventDefault();
    drop.classList.remove("over");
    choose(event.dataTransfer.files);
  });
  loaded().then(() => { $("status").textContent = "Ready: choose or drop images."; });
})();
