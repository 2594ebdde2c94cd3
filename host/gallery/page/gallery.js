// The gallery page: the filter over the grid (the models' paths as given,
// which their tooltips show), and the 3D view of the model chosen. A page opened from disk may fetch nothing, so each model's GLB
// comes as a script of its own, index_files/models/N.js, which calls
// galleryModel(N, base64) when it runs; it is added when the model is chosen.
// Names from the models' files are only ever set as text, never as markup.
'use strict';

(function () {
  const cards = Array.from(document.querySelectorAll('#models .model'));
  const inputs = Array.from(document.querySelectorAll('#models .input'));
  const filter = document.getElementById('filter');
  const matching = document.getElementById('matching');
  const view = document.getElementById('view');
  const viewer = document.getElementById('viewer');
  const title = document.getElementById('view-title');
  const status = document.getElementById('view-status');
  const animations = document.getElementById('animation');
  const play = document.getElementById('play');
  const skins = document.getElementById('skin');
  const glbLink = document.getElementById('glb-link');
  const objLink = document.getElementById('obj-link');

  let chosen = null;  // the card in the view
  let script = null;  // the script element bringing its GLB
  let modelUrl = null;  // the blob: URL the viewer shows
  let skinGroups = [];  // the chosen model's skin groups: [{variants, keys}]
  let skinFrame = 0;  // the animation frame request that steps a skin group

  function showMatching() {
    const words = filter.value.toLowerCase().split(/\s+/).filter(Boolean);
    let shown = 0;
    for (const card of cards) {
      const path = card.dataset.path.toLowerCase();
      card.hidden = !words.every((word) => path.includes(word));
      if (!card.hidden) ++shown;
    }
    // An input keeps its heading while any of its models match.
    for (const input of inputs)
      input.hidden = words.length > 0 && !input.querySelector('.model:not([hidden])');
    const models = cards.length === 1 ? ' model' : ' models';
    matching.textContent = words.length ? shown + ' of ' + cards.length + models : cards.length + models;
  }

  function setStatus(state, text) {
    view.dataset.state = state;
    status.textContent = text;
    if (state === 'failed') console.error('gallery: ' + text);
  }

  function fillChoices(select, names, none) {
    select.replaceChildren();
    for (const name of names) select.append(new Option(name, name));
    if (!names.length) select.append(new Option(none, ''));
    select.disabled = names.length < 2;  // nothing to choose between
  }

  function stopSkinGroup() {
    if (skinFrame) cancelAnimationFrame(skinFrame);
    skinFrame = 0;
  }

  // Steps through a skin group's variants as the game does: each from its
  // key time to the next, the time taken modulo the last key.
  function playSkinGroup(group) {
    stopSkinGroup();
    const start = performance.now();
    const end = group.keys[group.keys.length - 1];
    let shown = -1;
    const step = function (now) {
      const time = ((now - start) / 1000) % end;
      let k = 0;
      while (k + 1 < group.variants.length && group.keys[k + 1] <= time) ++k;
      if (k !== shown) viewer.variantName = group.variants[k];
      shown = k;
      skinFrame = requestAnimationFrame(step);
    };
    skinFrame = requestAnimationFrame(step);
  }

  function clearModel() {
    stopSkinGroup();
    if (script) script.remove();
    script = null;
    if (modelUrl) URL.revokeObjectURL(modelUrl);
    modelUrl = null;
  }

  // Called by each model's script with its GLB.
  window.galleryModel = function (index, base64) {
    if (!chosen || Number(chosen.dataset.index) !== index) return;  // another was chosen since
    const text = atob(base64);
    const bytes = new Uint8Array(text.length);
    for (let i = 0; i < text.length; ++i) bytes[i] = text.charCodeAt(i);
    modelUrl = URL.createObjectURL(new Blob([bytes], {type: 'model/gltf-binary'}));
    viewer.src = modelUrl;
  };

  function choose(card) {
    clearModel();
    for (const other of cards) other.classList.toggle('chosen', other === card);
    chosen = card;
    view.hidden = false;
    view.scrollIntoView({block: 'nearest'});  // above the grid on a narrow screen
    view.dataset.model = card.dataset.index;
    title.textContent = card.querySelector('button.name').textContent;
    title.title = card.dataset.path;
    glbLink.href = card.dataset.folder + 'model.glb';
    objLink.hidden = !card.dataset.obj;
    objLink.href = card.dataset.folder + 'model.obj';
    fillChoices(animations, [], 'none');
    fillChoices(skins, [], 'none');
    play.disabled = true;
    if (!window.customElements || !customElements.get('model-viewer')) {
      setStatus('failed', 'The 3D view cannot start: index_files/model-viewer.min.js did not load.');
      return;
    }
    setStatus('loading', 'Loading…');
    viewer.pause();
    viewer.removeAttribute('src');
    // The viewer keeps these across models: each model starts as its file has it.
    viewer.variantName = null;
    viewer.animationName = undefined;
    script = document.createElement('script');
    script.src = card.dataset.script;
    script.onerror = function () {
      if (chosen === card) setStatus('failed', 'The model\'s file ' + card.dataset.script + ' did not load.');
    };
    script.onload = function () {  // it ran: without handing over its model, it is damaged
      if (chosen === card && !modelUrl) setStatus('failed', 'The model\'s file ' + card.dataset.script + ' is damaged.');
    };
    document.body.append(script);
  }

  viewer.addEventListener('load', function () {
    if (!chosen) return;
    const names = viewer.availableAnimations || [];
    fillChoices(animations, names, 'none');
    // Several skins are the GLB's variants; a single one is its material.
    const variants = viewer.availableVariants || [];
    fillChoices(skins, variants.length || chosen.dataset.skins !== '1' ? variants : ['skin 0'], 'none');
    // Each skin group can play, listed before the skins one by one; a model
    // whose first skin is a group's starts playing it, as the game shows it.
    skinGroups = JSON.parse(chosen.dataset.skinGroups || '[]')
      .filter((group) => group.variants.every((name) => variants.includes(name)));
    skinGroups.forEach(function (group, g) {
      const name = group.variants[0].replace(/ frame 0$/, '');
      skins.insertBefore(new Option(name + ', animated', 'group ' + g), skins.options[g]);
    });
    if (skinGroups.length && skinGroups[0].variants[0] === variants[0]) {
      skins.value = 'group 0';
      playSkinGroup(skinGroups[0]);
    }
    if (names.length) viewer.animationName = names[0];
    play.disabled = !names.length;
    play.textContent = 'Play';
    setStatus('shown', 'Shown: ' + names.length + (names.length === 1 ? ' animation' : ' animations') +
      '. Drag to turn, scroll to zoom.');
  });
  viewer.addEventListener('error', function () {
    if (chosen) setStatus('failed', 'The 3D view cannot show this model.');
  });

  animations.addEventListener('change', function () {
    viewer.animationName = animations.value;
    viewer.currentTime = 0;
  });
  skins.addEventListener('change', function () {
    const group = /^group (\d+)$/.exec(skins.value);
    if (group) return playSkinGroup(skinGroups[Number(group[1])]);
    stopSkinGroup();
    viewer.variantName = skins.value;
  });
  play.addEventListener('click', function () {
    if (viewer.paused) viewer.play();
    else viewer.pause();
  });
  viewer.addEventListener('play', function () { play.textContent = 'Pause'; });
  viewer.addEventListener('pause', function () { play.textContent = 'Play'; });

  document.getElementById('close').addEventListener('click', function () {
    clearModel();
    viewer.removeAttribute('src');
    chosen = null;
    view.hidden = true;
    for (const card of cards) card.classList.remove('chosen');
  });
  for (const card of cards) {
    for (const button of card.querySelectorAll('button.open')) button.addEventListener('click', () => choose(card));
  }
  filter.addEventListener('input', showMatching);
  showMatching();
})();
