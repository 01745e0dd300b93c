// ag-psd, an independent PSD library, as a black box for the layer reader's tests and benchmark.
//
//   node agpsd_layers.js write OUTDIR          writes layered PSD files (ag_lay_*.psd; one,
//                                              ag_lay_nocomposite.psd, without a merged picture),
//                                              and the groups file as PSB (ag_lay_groups.psb)
//   node agpsd_layers.js dump FILE PREFIX      writes what ag-psd reads of FILE's layers:
//       PREFIX.txt      one line per layer record in file order (bottom first, a group's end
//                       divider before its members and its own record after them):
//                       kind name(hex UTF-16BE) top left bottom right blend opacity fill hidden
//                       clipping parent mask(top left bottom right default disabled) pixels mask
//                       realmask(top left bottom right default pixels)
//       PREFIX.N.rgba   layer N's pixels, RGBA; PREFIX.N.mask its mask, one byte per pixel,
//                       PREFIX.N.realmask its real mask
//       PREFIX.patterns one line per pattern: width height
//   node agpsd_layers.js time FILE RUNS        readPsd with layer and composite image data,
//                                              prints each run's milliseconds
'use strict';
const fs = require('fs');
const path = require('path');
const { readPsd, writePsdBuffer, initializeCanvas } = require('ag-psd');

// No canvas in Node: pixels stay plain RGBA byte arrays.
initializeCanvas(
    () => { throw new Error('no canvas in this script'); },
    (width, height) => ({ width, height, data: new Uint8ClampedArray(width * height * 4) }));

function image(width, height, pixel) {
    const data = new Uint8ClampedArray(width * height * 4);
    for (let y = 0; y < height; y++)
        for (let x = 0; x < width; x++) data.set(pixel(x, y), (y * width + x) * 4);
    return { width, height, data };
}

// Small deterministic noise, so that some channels do not pack (ag-psd then stores them raw).
function noise(seed) {
    let s = seed;
    return () => ((s = (s * 1103515245 + 12345) >>> 0) >>> 16) & 255;
}

function write(dir) {
    fs.mkdirSync(dir, { recursive: true });
    const W = 53, H = 37;
    const background = image(W, H, (x, y) => [(x * 5) & 255, (y * 7) & 255, (x * y) & 255, 255]);
    const translucent = (w, h, r) =>
        image(w, h, (x, y) => [r, (x * 11) & 255, (y * 13) & 255, (x * 9 + y * 5) & 255]);
    const rnd = noise(7);
    const grainy = image(24, 16, () => [rnd(), rnd(), rnd(), 255]);
    const maskImage = (w, h) => image(w, h, (x, y) => {
        const v = (x * 17 + y * 3) & 255;
        return [v, v, v, 255];
    });

    const groups = {
        width: W, height: H, imageData: background,
        children: [
            { name: 'Background', imageData: background },
            {
                name: 'Outer', opened: true, blendMode: 'pass through', children: [
                    { name: 'a', top: 2, left: 3, imageData: translucent(10, 8, 200) },
                    {
                        name: 'Inner', opened: false, blendMode: 'screen', opacity: 0.6,
                        children: [{ name: 'b', top: 20, left: 30, imageData: translucent(9, 7, 40) }],
                    },
                    { name: 'c', top: -4, left: -6, imageData: translucent(12, 9, 90), clipping: true },
                ],
            },
            { name: 'Empty group', children: [] },
            { name: 'hidden multiply', hidden: true, blendMode: 'multiply', top: 5, left: 5,
              imageData: translucent(6, 6, 10) },
            { name: 'half', opacity: 0.5, fillOpacity: 0.25, blendMode: 'overlay', top: 1, left: 40,
              imageData: translucent(13, 11, 250), transparencyProtected: true,
              protected: { transparency: true, position: true }, layerColor: 'red' },
            { name: 'Grain \u00fcml\u00e4ut', blendMode: 'linear light', top: 9, left: 14,
              imageData: grainy, referencePoint: { x: 3, y: -2 } },
            { name: 'masked', blendMode: 'difference', top: 10, left: 10,
              imageData: translucent(20, 15, 128),
              mask: { top: 12, left: 8, imageData: maskImage(16, 12), defaultColor: 255 } },
            { name: 'masked with parameters', blendMode: 'darker color', top: 0, left: 0,
              imageData: translucent(8, 8, 60),
              mask: { top: 1, left: 1, imageData: maskImage(5, 4), defaultColor: 0,
                      disabled: true, userMaskDensity: 0.5, userMaskFeather: 2.5 } },
            // A user mask with parameters beside a real mask of another rectangle: the real
            // mask's fields come before the parameters.
            { name: 'real mask', blendMode: 'lighter color', top: 20, left: 2,
              imageData: translucent(10, 8, 30),
              mask: { top: 21, left: 3, imageData: maskImage(6, 5), defaultColor: 0,
                      userMaskDensity: 0.25, userMaskFeather: 1.5 },
              realMask: { top: 19, left: 1, imageData: maskImage(9, 7), defaultColor: 255 } },
            { name: 'subtract', blendMode: 'subtract', top: 30, left: 40, imageData: translucent(4, 3, 5) },
            { name: 'divide', blendMode: 'divide', top: 31, left: 41, imageData: translucent(3, 4, 6) },
            { name: 'empty' },
        ],
    };
    // A pattern's point is its size, height first (ag-psd writes its x field first).
    const patterns = {
        width: 8, height: 8, imageData: image(8, 8, () => [1, 2, 3, 255]),
        patterns: [
            { name: 'Dots', id: 'a-pattern-id', x: 5, y: 7, bounds: { x: 0, y: 0, w: 7, h: 5 },
              data: image(7, 5, (x, y) => [(x * 30) & 255, (y * 50) & 255, 77, 255]).data },
            { name: 'Fade', id: 'another-id', x: 9, y: 3, bounds: { x: 0, y: 0, w: 3, h: 9 },
              data: image(3, 9, (x, y) => [9, 8, 7, (y * 28) & 255]).data },
            // No point: its size is its bounds alone.
            { name: 'Bounds', id: 'third-id', x: 0, y: 0, bounds: { x: 0, y: 0, w: 6, h: 4 },
              data: image(6, 4, (x, y) => [x * 40, y * 60, 200, 255]).data },
        ],
    };
    // The same layers saved without a merged picture, as writers do with compatibility off.
    const noComposite = { ...groups, imageData: undefined };
    const files = { 'ag_lay_groups.psd': groups, 'ag_lay_patterns.psd': patterns };
    for (const [name, psd] of Object.entries(files))
        fs.writeFileSync(path.join(dir, name), writePsdBuffer(psd, { generateThumbnail: false }));
    fs.writeFileSync(path.join(dir, 'ag_lay_nocomposite.psd'),
        writePsdBuffer(noComposite, { generateThumbnail: false, noBackground: true }));
    fs.writeFileSync(path.join(dir, 'ag_lay_groups.psb'),
        writePsdBuffer(groups, { generateThumbnail: false, psb: true }));
    // All four mask parameters and no real mask: 39 bytes, which ag-psd's own reader takes for a
    // real mask and refuses. Its mask as given.
    const params = { width: 16, height: 16, imageData: image(16, 16, () => [1, 2, 3, 255]),
        children: [{ name: 'parameters', top: 2, left: 3, imageData: translucent(10, 8, 20),
            mask: { top: 4, left: 5, imageData: maskImage(6, 5), defaultColor: 0,
                    userMaskDensity: 0.5, userMaskFeather: 2.5, vectorMaskDensity: 0.25,
                    vectorMaskFeather: 1.5 } }] };
    fs.writeFileSync(path.join(dir, 'ag_mask_parameters.psd'),
        writePsdBuffer(params, { generateThumbnail: false }));
    const given = params.children[0].mask.imageData.data;
    fs.writeFileSync(path.join(dir, 'ag_mask_parameters.expected.mask'),
        Buffer.from(given.filter((_, i) => i % 4 === 0)));
    // The patterns as given: ag-psd's own reading drops their transparency.
    patterns.patterns.forEach((p, i) =>
        fs.writeFileSync(path.join(dir, `ag_lay_patterns.p${i}.expected.rgba`), p.data));
}

function hex(text) {
    return Buffer.from(text || '', 'utf16le').swap16().toString('hex') || '-';
}

// Layers in file order (ag-psd's children run bottom first, as the file does); a group is its end
// divider, its members, then its own record. Members point at their group's record (-1 at the
// top level, and for dividers).
function flatten(children, out) {
    const pending = -2;
    for (const layer of children || []) {
        if (!layer.children) {
            out.push({ kind: 0, parent: pending, layer });
            continue;
        }
        out.push({ kind: 1, parent: -1, layer: null });
        const first = out.length;
        flatten(layer.children, out);
        const own = out.length;
        out.push({ kind: 2, parent: pending, layer });
        for (let k = first; k < own; k++) if (out[k].parent === pending) out[k].parent = own;
    }
    return out;
}

function dump(file, prefix) {
    const psd = readPsd(fs.readFileSync(file), { skipThumbnail: true, useImageData: true });
    const lines = [];
    flatten(psd.children, []).forEach((entry, i) => {
        if (entry.parent === -2) entry.parent = -1;
        const l = entry.layer;
        if (!l) {
            lines.push(`1 - 0 0 0 0 - 0 0 0 0 -1 0 0 0 0 0 0 0 0 0 0 0 0 0 0`);
            return;
        }
        const m = l.mask || {}, r = l.realMask || {};
        const pixels = l.imageData ? 1 : 0;
        const maskPixels = m.imageData ? 1 : 0, realPixels = r.imageData ? 1 : 0;
        if (pixels) fs.writeFileSync(`${prefix}.${i}.rgba`, l.imageData.data);
        const grey = (d) => Buffer.from(d.filter((_, p) => p % 4 === 0));
        if (maskPixels) fs.writeFileSync(`${prefix}.${i}.mask`, grey(m.imageData.data));
        if (realPixels) fs.writeFileSync(`${prefix}.${i}.realmask`, grey(r.imageData.data));
        lines.push([entry.kind, hex(l.name), l.top | 0, l.left | 0, l.bottom | 0, l.right | 0,
            (l.blendMode || 'normal').replace(/ /g, '_'), Math.round((l.opacity ?? 1) * 255),
            Math.round((l.fillOpacity ?? 1) * 255), l.hidden ? 1 : 0, l.clipping ? 1 : 0,
            entry.parent, m.top | 0, m.left | 0, m.bottom | 0, m.right | 0,
            m.defaultColor | 0, m.disabled ? 1 : 0, pixels, maskPixels,
            r.top | 0, r.left | 0, r.bottom | 0, r.right | 0, r.defaultColor | 0, realPixels].join(' '));
    });
    fs.writeFileSync(`${prefix}.txt`, lines.join('\n') + '\n');
    const patterns = (psd.patterns || []).map((p) => `${p.bounds.w} ${p.bounds.h}`);
    fs.writeFileSync(`${prefix}.patterns`, patterns.join('\n') + '\n');
}

const [command, a, b] = process.argv.slice(2);
if (command === 'write') {
    write(a);
} else if (command === 'dump') {
    dump(a, b);
} else if (command === 'time') {
    const data = fs.readFileSync(a);
    for (let i = 0; i < Number(b); i++) {
        const start = process.hrtime.bigint();
        readPsd(data, { skipThumbnail: true, useImageData: true });
        console.log(Number(process.hrtime.bigint() - start) / 1e6);
    }
} else {
    console.error('usage: agpsd_layers.js write OUTDIR | dump FILE PREFIX | time FILE RUNS');
    process.exit(2);
}
