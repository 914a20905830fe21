// The page's script: takes the image, asks the browser for the device, runs the update in the
// program (tolvane.js, the engine every other front end uses) and shows its progress and result.
// Parameters: ?simulate (a simulated device, no hardware), image=URL (preselects an image), start
// (begins without a click), vid=HEX&pid=HEX (the application's ids; 5C3B:0326 unless given),
// mock-hid (tests: a stand-in for navigator.hid with a target behind it; with mock-ask=MS its
// boot loader must be allowed, which a stand-in person does MS after the button shows).
(function() {
  'use strict';
  var params = new URLSearchParams(location.search);
  var simulate = params.has('simulate');
  var mockHid = params.has('mock-hid');
  var application = {
    vendorId: parseInt(params.get('vid') || '5C3B', 16),
    productId: parseInt(params.get('pid') || '0326', 16),
  };
  var bootLoaders = [{vendorId: 0x5C3B, productId: 0x030B}, {vendorId: 0x5C3B, productId: 0x0332}];
  var DFU_SUCCESS = 0;
  var DFU_ERR_DFU_TIMEOUT = 0xE0000106;
  var STEPS = ['Restarting the device into its boot loader…', 'Writing the firmware…',
               'Restarting the application…'];
  var el = function(id) { return document.getElementById(id); };
  var state = {ready: false, image: false, running: false, bootLoaderAllowed: false,
               progressAddress: 0, timer: null};

  function line(id, text) {
    el(id).textContent = text || '';
  }

  function unsupported() {
    if (simulate || mockHid) return '';
    if (!window.isSecureContext) {
      return 'This page is not served from a secure context: browsers offer WebHID only to pages ' +
             'served over https or from localhost. Open it that way (or add ?simulate to try it ' +
             'with a simulated device).';
    }
    if (!('hid' in navigator)) {
      return 'This browser has no WebHID, so it cannot reach the device: use Chrome, Edge or ' +
             'another Chromium-based browser (Firefox and Safari do not offer WebHID), or add ' +
             '?simulate to try the page with a simulated device.';
    }
    return '';
  }

  function updateButtons() {
    el('update').disabled = !state.ready || !state.image || state.running || !!unsupported();
  }

  function matches(device, filters) {
    return filters.some(function(f) {
      return f.vendorId === device.vendorId && f.productId === device.productId;
    });
  }

  function readImage(bytes, name) {
    var text = new TextDecoder('latin1').decode(bytes.subarray(0, 64)).trimStart();
    var hex = /\.(hex|ihex|ihx)$/i.test(name) || text.charAt(0) === ':';
    var at = Module._malloc(Math.max(bytes.length, 1));
    Module.HEAPU8.set(bytes, at);
    state.image = Module._tolvane_read_image(at, bytes.length, hex ? 1 : 0) === 1;
    Module._free(at);
    if (mockHid) Module.imageBytes = bytes;
    if (state.image) {
      line('image-info', name + ': ' + Module._tolvane_image_size() + ' bytes' +
                         (hex ? ' from Intel HEX' : '') + ' at 0x' +
                         Module._tolvane_image_address().toString(16).toUpperCase());
    } else {
      line('image-info', name + ' cannot be sent: ' + Module.UTF8ToString(Module._tolvane_image_error()));
    }
    updateButtons();
    return state.image;
  }

  function showProgress() {
    var bar = el('progress');
    var value = state.progressAddress ? Module.HEAPU32[state.progressAddress >> 2] : 255;
    if (value > 100) {
      bar.removeAttribute('value');
    } else {
      bar.value = value;
      if (state.step === 1) line('step', STEPS[1] + ' ' + value + ' %');
    }
  }

  function onStep(step, ended, code) {
    if (!state.progressAddress) state.progressAddress = Module._tolvane_progress_address();
    if (ended) return;
    state.step = step;
    line('step', STEPS[step]);
    var ask = step === 0 && !simulate && !state.bootLoaderAllowed;
    el('allow').hidden = !ask;
    el('allow-hint').hidden = !ask;
  }

  function finish(code) {
    var text = Module.UTF8ToString(Module._tolvane_result_text(code, application.vendorId,
                                                              application.productId));
    var name = Module.UTF8ToString(Module._tolvane_result_name(code));
    var result = el('result');
    result.textContent = text;
    result.className = code === DFU_SUCCESS ? 'ok' : 'failed';
    result.dataset.code = String(code);
    result.dataset.runs = String(state.runs);
    document.title = 'Firmware update: ' + name;
    line('step', '');
    if (simulate) {
      line('detail', Module._tolvane_simulated_memory_matches()
                         ? 'The simulated device\'s memory equals the image.'
                         : 'The simulated device\'s memory differs from the image.');
    } else if (mockHid && window.mockTarget) {
      line('detail', window.mockTarget.holds(Array.from(Module.imageBytes || []))
                         ? 'The mock target\'s memory equals the image.'
                         : 'The mock target\'s memory differs from the image.');
    } else if (code !== DFU_SUCCESS && Module.TolvaneWebHid.lastError) {
      line('detail', 'The browser said: ' + Module.TolvaneWebHid.lastError);
    }
  }

  async function run() {
    state.runs = (state.runs || 0) + 1;
    state.running = true;
    state.progressAddress = 0;
    updateButtons();
    line('result', '');
    line('detail', '');
    el('result').className = '';
    state.timer = setInterval(showProgress, 100);
    var code = await Module.ccall('tolvane_update', 'number', ['number', 'number', 'number'],
                                  [application.vendorId, application.productId, simulate ? 1 : 0],
                                  {async: true}) >>> 0;
    clearInterval(state.timer);
    showProgress();
    state.step = -1;
    state.running = false;
    updateButtons();
    finish(code);
    if (code === DFU_ERR_DFU_TIMEOUT && !simulate && !state.bootLoaderAllowed) {
      // The device waits in its boot loader: allowed now, it goes straight to the download.
      el('allow').hidden = false;
      el('allow-hint').hidden = false;
    } else {
      el('allow').hidden = true;
      el('allow-hint').hidden = true;
    }
  }

  async function update() {
    if (state.running || !state.image) return;
    if (!simulate) {
      var wanted = [application].concat(bootLoaders);
      var devices = await navigator.hid.getDevices();
      if (!devices.some(function(d) { return matches(d, wanted); })) {
        try {
          devices = await navigator.hid.requestDevice({filters: wanted});
        } catch (error) {
          line('step', 'No device was chosen (' + error.message + ').');
          return;
        }
        if (!devices.length) {
          line('step', 'No device was chosen.');
          return;
        }
      }
      state.bootLoaderAllowed = devices.some(function(d) { return matches(d, bootLoaders); });
    }
    await run();
  }

  async function allowBootLoader() {
    var devices;
    try {
      devices = await navigator.hid.requestDevice({filters: bootLoaders});
    } catch (error) {
      line('step', 'No boot loader was chosen (' + error.message + ').');
      return;
    }
    if (!devices.length) return;
    state.bootLoaderAllowed = true;
    el('allow').hidden = true;
    el('allow-hint').hidden = true;
    // Permission is no connect event: the engine hears of the arrival from here.
    devices.forEach(function(device) { Module.TolvaneWebHid.arrived(device); });
    if (!state.running) await run();
  }

  async function ready() {
    state.ready = true;
    var problem = unsupported();
    if (problem) {
      el('support').hidden = false;
      line('support', problem);
    } else if (simulate) {
      el('support').hidden = false;
      line('support', 'Simulated device: nothing is sent to real hardware.');
    }
    updateButtons();
    var url = params.get('image');
    if (url) {
      try {
        var response = await fetch(url);
        if (!response.ok) throw new Error('HTTP ' + response.status);
        readImage(new Uint8Array(await response.arrayBuffer()),
                  decodeURIComponent(url.split('/').pop() || url));
      } catch (error) {
        line('image-info', url + ' cannot be read: ' + error.message);
      }
    }
    if (params.has('start') && state.image) await update();
  }

  function load(sources, then) {
    if (!sources.length) return then();
    var script = document.createElement('script');
    script.src = sources[0];
    script.onload = function() { load(sources.slice(1), then); };
    document.body.appendChild(script);
  }

  window.Module = {onStep: onStep, onRuntimeInitialized: ready};
  el('image').addEventListener('change', async function(event) {
    var file = event.target.files[0];
    if (file) readImage(new Uint8Array(await file.arrayBuffer()), file.name);
  });
  el('update').addEventListener('click', update);
  el('allow').addEventListener('click', allowBootLoader);
  var scripts = mockHid ? ['mock_hid.js', 'mock_target.js'] : [];
  load(scripts, function() {
    if (mockHid) {
      window.mockTarget = new MockTarget(window.mockHid, {grantsBootLoader: !params.has('mock-ask')});
      if (params.has('mock-ask')) window.mockUserClicks('allow', Number(params.get('mock-ask')) || 500);
    }
    load(['tolvane.js'], function() {});
  });
})();
