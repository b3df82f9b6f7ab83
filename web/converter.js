"use strict";
// The converter's side of the page: the tool's module, run on files in memory as the command
// line runs it (its main, through callMain, on MEMFS). It runs in a Worker, whose script is the
// module's and this function's, so that a long conversion leaves the page free; or in the page
// itself where no Worker starts. `post` sends a message back, with the buffers it hands over;
// the returned function takes one.
//
// Messages: {id, kind: "options"} answers {id, options}, the tool's table of options; {id, kind:
// "live", inputs, options} answers {id, result}, the frames' messages for LEDs (live()); {id,
// kind: "convert", inputs: [{name, bytes}], options, preview, maxDrawn, headerWhenAnimated}
// answers {id, progress: frames} once the frames are known, then {id, result: {output, status,
// errors, header, preview, options}}. A module that fails to start answers {failed: why}.
// eslint-disable-next-line no-unused-vars
function tivranoConverter(post) {
  let module = null;
  let broken = null; // why the module did not start
  // Standard output, a byte at a time, into a buffer that doubles when full: a long animation's
  // text runs to tens of megabytes.
  let out = new Uint8Array(1 << 16);
  let used = 0;
  const write = (c) => {
    if (used === out.length) {
      const larger = new Uint8Array(2 * out.length);
      larger.set(out);
      out = larger;
    }
    out[used++] = c;
  };
  let err = [];
  // Started afresh should a run ever stop it, so that no later run inherits what that one left.
  const start = () => createTivrano({
    stdout: write,
    stderr: (c) => err.push(c),
  }).then((m) => { module = m; }, (e) => { broken = String(e); post({ failed: broken }); });
  let ready = start();

  // Writes the inputs under their names (so that the tool's messages name them as the user
  // does) into /in, and gives the tool's arguments: the options, true for a flag, then the files.
  function argumentsOf(inputs, options) {
    const FS = module.FS;
    for (const dir of ["/in", "/out"]) {
      if (!FS.analyzePath(dir).exists) FS.mkdir(dir);
      for (const name of FS.readdir(dir)) if (name !== "." && name !== "..") FS.unlink(dir + "/" + name);
    }
    FS.chdir("/in");
    const taken = new Set([".", ".."]);
    const put = (name, bytes) => {
      let path = name.replaceAll("/", "_");
      for (let k = 2; taken.has(path); ++k) path = name + " (" + k + ")";
      taken.add(path);
      FS.writeFile(path, bytes);
      return path;
    };
    const args = [];
    for (const [key, value] of Object.entries(options || {})) {
      // An LED map, {name, bytes}, is a file of its own beside the images.
      if (key === "map" && value && value.bytes) args.push("--map=" + put(value.name, value.bytes));
      else if (value === true) args.push("--" + key);
      else if (value !== false && value !== undefined && value !== null && value !== "")
        args.push("--" + key + "=" + value);
    }
    args.push("--");
    for (const { name, bytes } of inputs) args.push(put(name, bytes));
    return args;
  }

  function run(args, header) {
    used = 0;
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
    const written = header && module && module.FS.analyzePath(header).exists;
    return { output: out.slice(0, used), status: status === 0 ? 0 : -1,
             errors: new TextDecoder().decode(new Uint8Array(err)),
             header: written ? module.FS.readFile(header) : null };
  }

  // What the tool makes of these frames under these options, from the tool itself: the
  // dimensions, the format and a frame's bytes in it, whether the files make an animation, where
  // each LED lies, and each frame's LEDs as they light, what the array holds for them, and its
  // delay (LEDs and places only up to `maxDrawn` LEDs); null for what it refuses.
  function previewOf(args, maxDrawn) {
    const bytes = new TextEncoder().encode(args.map((a) => a + "\0").join(""));
    if (!module.ccall("tivrano_preview", "number", ["array", "number"], [bytes, bytes.length]))
      return null;
    const value = (name) => module.ccall("tivrano_preview_value", "number", ["string"], [name]);
    const [width, height, count, format, frameBytes, places, shown, held, delays, leds] =
      ["width", "height", "frames", "format", "frame_bytes", "places", "shown", "held", "delays",
       "leds"].map(value);
    const drawn = leds <= maxDrawn;
    return {
      width, height, leds, count, frameBytes,
      animation: value("animation") === 1,
      format: ["grb", "rgb565", "mono"][format],
      order: module.ccall("tivrano_preview_order", "string", [], []),
      places: drawn ? module.HEAP32.slice(places >> 2, (places >> 2) + leds) : null,
      shown: drawn ? module.HEAPU8.slice(shown, shown + 3 * leds * count) : null,
      held: drawn && format !== 0 ? module.HEAPU16.slice(held >> 1, (held >> 1) + leds * count) : null,
      delays: Array.from(module.HEAPU16.subarray(delays >> 1, (delays >> 1) + count)),
    };
  }

  function convert({ id, inputs, options, preview, maxDrawn, headerWhenAnimated }) {
    let args = argumentsOf(inputs, options);
    let shown = preview ? previewOf(args, maxDrawn) : null;
    const call = { ...options };
    // An animation, as the tool takes the files, comes with its header.
    if (headerWhenAnimated && shown && shown.animation) {
      call.header = headerWhenAnimated;
      args = argumentsOf(inputs, call);
    }
    if (shown) post({ id, progress: shown.count });
    const result = run(args, call.header);
    if (result.status !== 0) shown = null;
    // The bytes are handed over, not copied: a long animation's run to tens of megabytes.
    const moved = [result.output, shown && shown.shown, shown && shown.held, shown && shown.places,
                   result.header];
    post({ id, result: { ...result, preview: shown, options: call } },
         moved.filter(Boolean).map((array) => array.buffer));
  }

  // The frames' messages for LEDs, as tivrano --send sends them: {status: 0, messages, ends (where
  // each frame's message ends), delays, loop, baud}; or the tool's refusal, as it words it.
  function live({ id, inputs, options }) {
    const args = argumentsOf(inputs, { ...options, send: "page" });
    const bytes = new TextEncoder().encode(args.map((a) => a + "\0").join(""));
    if (!module.ccall("tivrano_preview", "number", ["array", "number"], [bytes, bytes.length])) {
      post({ id, result: run(args) });
      return;
    }
    const value = (name) => module.ccall("tivrano_preview_value", "number", ["string"], [name]);
    const count = value("frames");
    const ends = module.HEAPU32.slice(value("message_ends") >> 2, (value("message_ends") >> 2) + count);
    const messages = module.HEAPU8.slice(value("messages"), value("messages") + ends[count - 1]);
    const delays = Array.from(module.HEAPU16.subarray(value("delays") >> 1, (value("delays") >> 1) + count));
    post({ id, result: { status: 0, messages, ends, delays, loop: value("loop"), baud: value("baud") } },
         [messages.buffer, ends.buffer]);
  }

  return async (message) => {
    while (!module && !broken) await ready;
    if (broken) post({ id: message.id, failed: broken });
    else if (message.kind === "options")
      post({ id: message.id,
             options: JSON.parse(module.ccall("tivrano_options", "string", [], [])) });
    else if (message.kind === "live") live(message);
    else convert(message);
  };
}
