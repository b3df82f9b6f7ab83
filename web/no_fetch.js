// The wasm is inside the page, in base64. Decoded here rather than fetched from its data: URL,
// it loads with no request at all, so the page's Content-Security-Policy can forbid them all.
Module["instantiateWasm"] = function (imports, receive) {
  WebAssembly.instantiate(tryParseAsDataURI(wasmBinaryFile), imports).then(function (result) {
    receive(result.instance, result.module);
  }, readyPromiseReject);
  return {};
};
