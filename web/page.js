"use strict";
(() => {
  const $ = (id) => document.getElementById(id);
  const form = $("options");
  const TEXT = new TextDecoder("latin1");
  const MAX_DRAWN = 16384;
  // The options the page offers, from the tool's table once it is loaded: their long names, a
  // flag's and a value's apart. "background" is the page's own, for decoded images.
  let FLAGS = [];
  let VALUES = [];

  let module = null;
  let out = [];
  let err = [];
  let canvasAltered = null;
  // The converter; started afresh should a run ever stop it, so that no later run inherits
  // what that one left behind.
  const start = () => createTivrano({
    stdout: (c) => out.push(c),
    stderr: (c) => err.push(c),
  }).then((m) => { module = m; return m; });
  let ready = start();
  const loaded = async () => {
    while (!module) await ready;
    if (!FLAGS.length && !VALUES.length) drawControls();
  };

  const GROUPS = { conversion: "Every conversion", animation: "Animations: a name, and several " +
                   "images or --pack" };

  // A form control for each option the tool's table holds and the page offers, named after the
  // long option: a check box for a flag, a list for a choice (the tool's default unnamed, so
  // that it passes no option), a text field for any other value, showing what the tool does
  // without it; the help, as --help words it, is the control's tooltip.
  function drawControls() {
    const options = JSON.parse(module.ccall("tivrano_options", "string", [], []));
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
      const name = Object.assign(document.createElement("code"), { textContent: "--" + option.name });
      let control;
      if (!option.value) {
        control = Object.assign(document.createElement("input"), { type: "checkbox" });
        FLAGS.push(option.name);
      } else if (option.choices.length) {
        control = document.createElement("select");
        for (const choice of option.choices)
          control.append(new Option(choice, choice === option.unset ? "" : choice));
        VALUES.push(option.name);
      } else {
        control = Object.assign(document.createElement("input"),
                                { type: "text", placeholder: option.unset || option.value });
        control.setAttribute("aria-label", "--" + option.name + "=" + option.value);
        VALUES.push(option.name);
      }
      control.name = option.name;
      if (option.value) label.append(name, control);
      else label.append(control, name);
      set.append(label);
    }
    form.prepend(...sets);
    loadFragment();
  }

  // Runs the tool on files in memory, as the command line runs it: `inputs` are {name, bytes},
  // written under their names so that the tool's messages name them as the user does.
  // The tool's arguments: the options, true for a flag, then the files in /in.
  function argumentsOf(inputs, options) {
    const FS = module.FS;
    for (const dir of ["/in", "/out"]) {
      if (!FS.analyzePath(dir).exists) FS.mkdir(dir);
      for (const name of FS.readdir(dir)) if (name !== "." && name !== "..") FS.unlink(dir + "/" + name);
    }
    FS.chdir("/in");
    const args = [];
    for (const [key, value] of Object.entries(options || {})) {
      if (value === true) args.push("--" + key);
      else if (value !== false && value !== undefined && value !== null && value !== "")
        args.push("--" + key + "=" + value);
    }
    args.push("--");
    const taken = new Set([".", ".."]);
    for (const { name, bytes } of inputs) {
      let path = name.replaceAll("/", "_");
      for (let k = 2; taken.has(path); ++k) path = name + " (" + k + ")";
      taken.add(path);
      FS.writeFile(path, bytes);
      args.push(path);
    }
    return args;
  }

  function run(inputs, options) {
    const FS = module.FS;
    const args = argumentsOf(inputs, options);
    out = [];
    err = [];
    let status;
    try {
      status = module.callMain(args);
    } catch (e) {
      status = e && typeof e.status === "number" ? e.status : -1;
      if (status === -1) {
        err.push(...new TextEncoder().encode("tivrano: the converter stopped (" + e +
                                             "); please report this, with the image\n"));
        module = null;
        ready = start();
      }
    }
    let header = null;
    if (options && options.header && FS.analyzePath(options.header).exists)
      header = FS.readFile(options.header);
    return { output: new Uint8Array(out), status: status === 0 ? 0 : -1,
             errors: new TextDecoder().decode(new Uint8Array(err)), header };
  }

  // window.tivrano.convert(bytes, options): bytes a Uint8Array, or an array of them for the
  // frames of an animation (named image.bmp, or frame1.bmp, frame2.bmp... in the tool's
  // messages); options an object of long option names, true for a flag.
  window.tivrano = {
    convert: (bytes, options) => loaded().then(() => {
      const inputs = Array.isArray(bytes)
        ? bytes.map((b, k) => ({ name: "frame" + (k + 1) + ".bmp", bytes: b }))
        : [{ name: "image.bmp", bytes }];
      const result = run(inputs, options);
      return { output: result.output, status: result.status, errors: result.errors };
    }),
  };

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

  function backgroundColour() {
    const hex = form.elements.background.value || "#000000";
    return [1, 3, 5].map((k) => parseInt(hex.slice(k, k + 2), 16));
  }

  // Each frame of a file as a named BMP, with its delay: BMPs as they are; other images decoded by
  // the browser without colour conversion, every frame of an animated one where the browser
  // has ImageDecoder.
  async function framesOf(file) {
    const bytes = new Uint8Array(await file.arrayBuffer());
    if (bytes[0] === 66 && bytes[1] === 77)
      return { frames: [{ name: file.name, bytes }], delays: [], note: "" };
    if (canvasAltered === null) canvasAltered = !(await canvasIsTrue());
    if (canvasAltered)
      throw new Error("this browser changes what pages read from a canvas (a privacy setting does " +
                      "that), so decoded images would come out wrong; convert BMP files, or " +
                      "allow canvas reading for this page");
    const background = backgroundColour();
    const type = file.type || "image/" + (file.name.split(".").pop() || "").toLowerCase();
    if ("ImageDecoder" in window && await ImageDecoder.isTypeSupported(type)) {
      const decoder = new ImageDecoder({ data: bytes, type, colorSpaceConversion: "none",
                                         premultiplyAlpha: "none" });
      await decoder.tracks.ready;
      const count = decoder.tracks.selectedTrack.frameCount;
      const frames = [], delays = [];
      for (let k = 0; k < count; ++k) {
        const { image } = await decoder.decode({ frameIndex: k });
        const width = image.displayWidth, height = image.displayHeight;
        frames.push({ name: count > 1 ? file.name + ", frame " + (k + 1) : file.name,
                      bytes: bmp(width, height, pixels(image, width, height), background) });
        delays.push(Math.round((image.duration || 0) / 1000));
        image.close();
      }
      decoder.close();
      return { frames, delays: count > 1 ? delays : [], note: "" };
    }
    const bitmap = await createImageBitmap(new Blob([bytes]),
                                           { colorSpaceConversion: "none", premultiplyAlpha: "none" });
    const note = /gif|png|webp/.test(type)
      ? "this browser has no ImageDecoder: only the first frame of an animation is converted" : "";
    const bytesOfBmp = bmp(bitmap.width, bitmap.height,
                           pixels(bitmap, bitmap.width, bitmap.height), background);
    return { frames: [{ name: file.name, bytes: bytesOfBmp }], delays: [], note };
  }

  function chosen() {
    const options = {};
    for (const key of FLAGS) options[key] = form.elements[key].checked;
    for (const key of VALUES) options[key] = form.elements[key].value.trim();
    return options;
  }

  // The state of the form, in the URL's fragment, so that a setting can be bookmarked.
  function saveFragment() {
    const state = new URLSearchParams();
    for (const key of FLAGS) if (form.elements[key].checked) state.set(key, "1");
    for (const key of VALUES.concat(["background"])) {
      const value = form.elements[key].value.trim();
      if (value && !(key === "background" && value === "#000000")) state.set(key, value);
    }
    history.replaceState(null, "", "#" + state.toString());
  }

  function loadFragment() {
    const state = new URLSearchParams(location.hash.slice(1));
    for (const key of FLAGS) form.elements[key].checked = state.get(key) === "1";
    for (const key of VALUES.concat(["background"]))
      if (state.has(key)) form.elements[key].value = state.get(key);
  }

  // Orders file names by the numbers in them: f9 before f10.
  function natural(a, b) {
    return a.name.localeCompare(b.name, undefined, { numeric: true, sensitivity: "base" });
  }

  let files = [];
  let results = [];
  let conversions = 0;

  async function convertAll() {
    await loaded();
    saveFragment();
    if (!files.length) return;
    const conversion = ++conversions;
    const options = chosen();
    $("errors").textContent = "";
    const notes = [];
    results = [];
    try {
      const decoded = [];
      for (const file of [...files].sort(natural)) {
        try {
          decoded.push({ file, ...(await framesOf(file)) });
        } catch (e) {
          throw new Error(file.name + ": " + e.message);
        }
      }
      if (conversion !== conversions) return; // a later choice is being converted
      for (const d of decoded) if (d.note) notes.push(d.file.name + ": " + d.note);
      const animated = decoded.length === 1 && decoded[0].frames.length > 1;
      if (options.name && (decoded.length > 1 || animated || options.pack)) {
        const frames = decoded.flatMap((d) => d.frames);
        const delays = decoded.flatMap((d) => d.delays);
        const call = { ...options };
        if (!call["delay-ms"] && delays.length === frames.length) call["delay-ms"] = delays.join(",");
        call.header = "/out/" + options.name + ".h";
        await loaded();
        results.push({ title: options.name, ...run(frames, call), frames, call });
      } else {
        for (const d of decoded) {
          const call = { ...options };
          if (d.frames.length > 1) notes.push(d.file.name + ": its first frame alone; give a " +
                                              "name to make its " + d.frames.length +
                                              " frames an animation");
          await loaded();
          results.push({ title: d.file.name, ...run([d.frames[0]], call), frames: [d.frames[0]],
                         call });
        }
      }
    } catch (e) {
      $("errors").textContent = "tivrano: " + e.message;
      notes.push("Not converted: the reason is below.");
    }
    const list = $("result");
    list.replaceChildren(...results.map((r, k) => new Option(r.title, String(k))));
    list.hidden = results.length < 2;
    const failed = results.filter((r) => r.status !== 0).length;
    const outcome = !results.length ? [] : !failed ? ["Converted."]
      : results.length === 1 ? ["Not converted (status -1): the reason is below."]
      : [failed + " of " + results.length + " not converted (status -1): each one says why."];
    $("status").textContent = notes.concat(outcome).join("\n");
    show(0);
  }

  function show(index) {
    const result = results[index];
    const has = Boolean(result);
    for (const id of ["copy", "download"]) $(id).disabled = !has || result.status !== 0;
    if (!has) return;
    const text = TEXT.decode(result.output);
    $("output").value = text;
    $("errors").textContent = result.errors;
    $("download-header").hidden = !result.header;
    const stored = /(\d+) bytes stored/.exec(text);
    const size = /Breite: (-?\d+), Hoehe: (-?\d+)/.exec(text);
    $("size").textContent = result.output.length + " bytes of text" + (stored
      ? ", " + stored[1] + " bytes in flash"
      : size && result.status === 0 ? ", " + 3 * Math.max(0, size[1]) * Math.max(0, size[2]) +
        " bytes in flash" : "");
    preview(result);
  }

  // NAME.c for a named array, else the image's own name with .c.
  function fileName(result) {
    return (result.call.name || result.title.replace(/\.[^.]*$/, "") || "animationX") + ".c";
  }

  function download(bytes, name) {
    const link = document.createElement("a");
    link.href = URL.createObjectURL(new Blob([bytes], { type: "application/octet-stream" }));
    link.download = name;
    document.body.append(link);
    link.click();
    setTimeout(() => { URL.revokeObjectURL(link.href); link.remove(); }, 1000);
  }

  // The preview reads the values back through the order and wiring, from an unpacked text of
  // the same frames and options.
  let shown = null;
  let frameIndex = 0;
  let timer = null;

  // What the tool makes of these frames under these options, from the tool itself: the
  // dimensions, where each LED lies, and each frame's values and delay; null for what it
  // refuses.
  function previewOf(frames, options) {
    const args = argumentsOf(frames, options);
    const bytes = new TextEncoder().encode(args.map((a) => a + "\0").join(""));
    const at = module.ccall("tivrano_preview", "number", ["array", "number"], [bytes, bytes.length]);
    if (!at) return null;
    const [width, height, count, places, values, delays] = module.HEAP32.subarray(at >> 2, (at >> 2) + 6);
    const leds = width * height;
    const all = module.HEAPU8.slice(values, values + 3 * leds * count);
    return {
      width, height,
      order: TEXT.decode(module.HEAPU8.subarray(at + 24, at + 27)),
      places: Int32Array.from(module.HEAP32.subarray(places >> 2, (places >> 2) + leds)),
      frames: Array.from({ length: count }, (_, k) => all.subarray(3 * leds * k, 3 * leds * (k + 1))),
      delays: Array.from(module.HEAPU16.subarray(delays >> 1, (delays >> 1) + count)),
    };
  }

  function preview(result) {
    clearTimeout(timer);
    timer = null;
    $("play").textContent = "Play";
    $("player").hidden = true;
    $("frame").textContent = "";
    shown = null;
    const canvas = $("preview");
    const context = canvas.getContext("2d");
    context.fillStyle = "#101014";
    context.fillRect(0, 0, canvas.width, canvas.height);
    if (result.status !== 0 || !module) return;
    const made = previewOf(result.frames, result.call);
    if (!made) return;
    // Drawn one dot each, a few thousand LEDs fit the panel; a photo's worth would not.
    const leds = made.width * made.height;
    if (leds > MAX_DRAWN) {
      context.fillStyle = "#ccc";
      context.font = "16px system-ui, sans-serif";
      context.fillText("The preview draws up to " + MAX_DRAWN + " LEDs; this image has " + leds +
                       ".", 20, 40);
      return;
    }
    // Which LED lies at each place.
    const ledAt = [];
    made.places.forEach((place, led) => { ledAt[place] = led; });
    shown = { ...made, ledAt };
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
    const values = shown.frames[frameIndex] || [];
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
      const rgb = ["R", "G", "B"].map((c) => values[3 * led + shown.order.indexOf(c)] || 0);
      context.beginPath();
      context.arc(x, y, Math.max(1, cell * 0.38), 0, 2 * Math.PI);
      context.fillStyle = "rgb(" + rgb.join(",") + ")";
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
    const led = shown.ledAt[y * shown.width + x];
    const values = shown.frames[frameIndex] || [];
    $("hover").textContent = "LED " + led + " at x " + x + ", y " + y + ": " +
      [...shown.order].map((c, k) => c + " " + values[3 * led + k]).join(", ");
  });
  $("previous").addEventListener("click", () => step(-1));
  $("next").addEventListener("click", () => step(1));
  $("play").addEventListener("click", () => {
    if (timer) { clearTimeout(timer); timer = null; $("play").textContent = "Play"; return; }
    $("play").textContent = "Pause";
    timer = setTimeout(play, Math.max(20, shown.delays[frameIndex] || 100));
  });
  $("result").addEventListener("change", () => show(Number($("result").value)));
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
    download(result.header, result.call.name + ".h");
  });
  $("file").addEventListener("change", () => { files = [...$("file").files]; convertAll(); });
  form.addEventListener("change", convertAll);
  form.addEventListener("submit", (event) => event.preventDefault());
  const drop = $("drop");
  for (const name of ["dragenter", "dragover"])
    document.addEventListener(name, (event) => { event.preventDefault(); drop.classList.add("over"); });
  document.addEventListener("dragleave", () => drop.classList.remove("over"));
  document.addEventListener("drop", (event) => {
    event.preventDefault();
    drop.classList.remove("over");
    files = [...event.dataTransfer.files];
    convertAll();
  });
  loaded().then(() => { $("status").textContent = "Ready: choose or drop images."; });
})();
