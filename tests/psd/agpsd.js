// ag-psd, an independent PSD library, as a black box for the PSD reader's tests and benchmark.
//
//   node agpsd.js write OUTDIR            writes PSD files and the RGBA bytes of their composites
//   node agpsd.js read FILE OUT.rgba      writes the composite ag-psd reads as RGBA bytes
//   node agpsd.js time FILE RUNS          composite-only read, prints each run's milliseconds
//   node agpsd.js layers FILE             prints the layers ag-psd reads as JSON, in file order
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

function write(dir) {
    fs.mkdirSync(dir, { recursive: true });
    const W = 41, H = 29;
    const opaque = image(W, H, (x, y) => [(x * 6) & 255, (y * 9) & 255, (x * y) & 255, 255]);
    const translucent = image(W, H, (x, y) => [(x * 6) & 255, 128, (y * 9) & 255, (x * 5 + y * 3) & 255]);
    const layer = image(20, 10, (x, y) => [255, (x * 12) & 255, 0, 255]);
    const files = {
        'ag_flat.psd': { width: W, height: H, imageData: opaque },
        'ag_alpha.psd': { width: W, height: H, imageData: translucent },
        'ag_layers.psd': {
            width: W, height: H, imageData: opaque,
            children: [
                { name: 'Back', top: 0, left: 0, imageData: opaque },
                { name: 'Patch', top: 5, left: 7, blendMode: 'multiply', imageData: layer },
            ],
        },
    };
    for (const [name, psd] of Object.entries(files)) {
        fs.writeFileSync(path.join(dir, name), writePsdBuffer(psd, { generateThumbnail: false }));
        fs.writeFileSync(path.join(dir, name.replace('.psd', '.expected.rgba')), psd.imageData.data);
    }
    // The large document format: flat, and with layers.
    for (const name of ['ag_flat', 'ag_layers']) {
        fs.writeFileSync(path.join(dir, `${name}.psb`),
            writePsdBuffer(files[`${name}.psd`], { generateThumbnail: false, psb: true }));
    }
    writeLayerInfo(dir, opaque);
}

// Adjustment layers of every kind ag-psd writes, fill layers, a text layer and every effect (ag-psd
// writes effects in both the old and the descriptor form).
function writeLayerInfo(dir, composite) {
    const stops = {
        colorStops: [{ color: { r: 255, g: 0, b: 0 }, location: 0, midpoint: 0.5 },
            { color: { r: 0, g: 0, b: 255 }, location: 1, midpoint: 0.25 }],
        opacityStops: [{ opacity: 1, location: 0, midpoint: 0.5 },
            { opacity: 0.5, location: 1, midpoint: 0.5 }],
    };
    const gradient = { name: 'Red to blue', type: 'solid', smoothness: 1, ...stops };
    const px = (value) => ({ units: 'Pixels', value });
    const pc = (value) => ({ units: 'Percent', value });
    const adjustments = [
        { type: 'brightness/contrast', brightness: 20, contrast: -10, meanValue: 127, labColorOnly: false, useLegacy: true },
        { type: 'curves', rgb: [{ input: 0, output: 0 }, { input: 100, output: 140 }, { input: 255, output: 255 }],
            red: [{ input: 0, output: 20 }, { input: 255, output: 255 }] },
        { type: 'hue/saturation', master: { hue: 10, saturation: 20, lightness: -5 } },
        { type: 'color balance', shadows: { cyanRed: 10, magentaGreen: -5, yellowBlue: 3 },
            midtones: { cyanRed: 1, magentaGreen: 2, yellowBlue: 3 },
            highlights: { cyanRed: -1, magentaGreen: -2, yellowBlue: -3 }, preserveLuminosity: true },
        { type: 'channel mixer', monochrome: false, red: { red: 100, green: 0, blue: 0, constant: 0 },
            green: { red: 0, green: 100, blue: 0, constant: 0 }, blue: { red: 0, green: 10, blue: 90, constant: 5 } },
        { type: 'invert' },
        { type: 'posterize', levels: 6 },
        { type: 'threshold', level: 140 },
        { type: 'gradient map', name: 'Map', ...stops },
        { type: 'selective color', mode: 'absolute', reds: { c: 10, m: -10, y: 5, k: 0 } },
        { type: 'exposure', exposure: 1, offset: 0, gamma: 1 },
        { type: 'vibrance', vibrance: 10, saturation: 5 },
    ];
    const effects = {
        scale: 1,
        dropShadow: [{ enabled: true, size: px(7), distance: px(9), angle: 135, color: { r: 17, g: 34, b: 51 },
            blendMode: 'multiply', opacity: 0.75, useGlobalLight: false, choke: px(3), layerConceals: true, antialiased: true }],
        innerShadow: [{ enabled: true, size: px(4), distance: px(2), angle: 45, color: { r: 1, g: 2, b: 3 },
            blendMode: 'screen', opacity: 0.5 }],
        outerGlow: { enabled: true, size: px(6), color: { r: 255, g: 255, b: 190 }, blendMode: 'screen',
            opacity: 0.6, choke: px(2) },
        innerGlow: { enabled: true, size: px(5), color: { r: 9, g: 8, b: 7 }, source: 'center', opacity: 0.4 },
        bevel: { enabled: true, style: 'emboss', technique: 'chisel hard', size: px(8), soften: px(2),
            direction: 'down', angle: 60, altitude: 40, highlightBlendMode: 'screen',
            highlightColor: { r: 250, g: 250, b: 250 }, highlightOpacity: 0.8, shadowBlendMode: 'multiply',
            shadowColor: { r: 5, g: 5, b: 5 }, shadowOpacity: 0.3 },
        satin: { enabled: true, size: px(12), distance: px(10), angle: 30, color: { r: 0, g: 0, b: 0 },
            opacity: 0.5, invert: false, blendMode: 'multiply' },
        solidFill: [{ enabled: true, color: { r: 200, g: 100, b: 50 }, blendMode: 'overlay', opacity: 0.9 }],
        gradientOverlay: [{ enabled: true, gradient, type: 'radial', angle: 45, scale: 0.8, reverse: true,
            align: false, opacity: 0.7, blendMode: 'normal', offset: { x: 0.05, y: -0.03 } }],
        patternOverlay: { enabled: true, pattern: { name: 'Dots', id: 'abc-123' }, scale: 0.5, opacity: 0.6,
            blendMode: 'normal' },
        stroke: [{ enabled: true, size: px(4), position: 'center', fillType: 'gradient', gradient,
            blendMode: 'normal', opacity: 1 }],
    };
    const W = composite.width, H = composite.height;
    const files = {
        'ag_adjustments.psd': adjustments.map((adjustment) => ({ name: adjustment.type, adjustment })),
        // ag-psd writes levels as 63 plain records, without the "Lvls" extension header (a block
        // the reader refuses on its layer), and photo filters as version 2 (a colour structure).
        'ag_levels.psd': [{ name: 'levels', adjustment: { type: 'levels',
            rgb: { shadowInput: 10, highlightInput: 240, shadowOutput: 5, highlightOutput: 250, midtoneInput: 1.5 } } }],
        'ag_photo_filter.psd': [{ name: 'photo filter', adjustment: { type: 'photo filter',
            color: { l: 50, a: 10, b: -10 }, density: 0.3, preserveLuminosity: true } }],
        'ag_photo_filter_rgb.psd': [{ name: 'photo filter', adjustment: { type: 'photo filter',
            color: { r: 250, g: 100, b: 10 }, density: 0.6, preserveLuminosity: false } }],
        // Colours in every model (ag-psd's HSB hue is a fraction of a turn, its saturation and
        // brightness fractions too), the four later blend modes, negative and fractional values,
        // and lengths in points and millimetres; in both effect forms.
        'ag_fx_colors.psd': [
            { name: 'Back', top: 0, left: 0, imageData: composite },
            { name: 'Colours', top: 3, left: 4, imageData: image(8, 6, () => [0, 200, 0, 255]), effects: {
                dropShadow: [{ enabled: true, size: px(2.5), distance: px(-3.25), angle: -170,
                    color: { h: 1 / 3, s: 0.5, b: 0.75 }, blendMode: 'darker color', opacity: 0.75 }],
                innerShadow: [{ enabled: true, size: { units: 'Points', value: 3 },
                    distance: { units: 'Millimeters', value: 2 }, angle: 45.5,
                    color: { c: 10, m: 20, y: 30, k: 40 }, blendMode: 'lighter color', opacity: 0.5 }],
                outerGlow: { enabled: true, size: px(6.75), color: { l: 50, a: 20, b: -30 },
                    blendMode: 'subtract', opacity: 0.6 },
                innerGlow: { enabled: true, size: px(5), color: { k: 25 }, source: 'center',
                    opacity: 0.4, blendMode: 'divide' },
                bevel: { enabled: true, style: 'emboss', size: px(0.01), soften: px(2), direction: 'down',
                    angle: -60.5, altitude: 40, highlightColor: { r: 250, g: 250, b: 250 },
                    highlightOpacity: 0.8, shadowColor: { h: 5 / 6, s: 1, b: 1 }, shadowOpacity: 0.3 },
                solidFill: [{ enabled: true, color: { c: 0, m: 100, y: 100, k: 0 }, blendMode: 'divide', opacity: 0.9 }],
            } },
        ],
        'ag_fills.psd': [
            { name: 'solid', vectorFill: { type: 'color', color: { r: 10, g: 20, b: 30 } } },
            { name: 'gradient', vectorFill: { type: 'solid', name: 'Red to blue', ...stops, style: 'radial',
                angle: 30, scale: 0.8, reverse: true, dither: true, align: false } },
            { name: 'pattern', vectorFill: { type: 'pattern', name: 'Dots', id: 'abc-123', scale: 0.5 } },
        ],
        'ag_text.psd': [{ name: 'Hello', text: { text: 'Hello', transform: [1, 0, 0, 1, 2, 4],
            style: { font: { name: 'ArialMT' }, fontSize: 10, fillColor: { r: 255, g: 0, b: 0 } } } }],
        'ag_effects.psd': [
            { name: 'Back', top: 0, left: 0, imageData: composite },
            { name: 'Effects', top: 3, left: 4, imageData: image(8, 6, () => [0, 200, 0, 255]), effects },
            { name: 'Group', opened: false, children: [
                { name: 'Hidden', hidden: true, opacity: 0.5, blendMode: 'screen', top: 1, left: 1,
                    imageData: image(3, 3, () => [9, 9, 9, 255]) },
            ] },
        ],
    };
    for (const [name, children] of Object.entries(files)) {
        const psd = { width: W, height: H, imageData: composite, children };
        fs.writeFileSync(path.join(dir, name), writePsdBuffer(psd, { generateThumbnail: false }));
    }
    // A copy whose descriptor-form effects block has another key, so that ag-psd too reads the
    // old form ("lrFX").
    const colors = fs.readFileSync(path.join(dir, 'ag_fx_colors.psd'));
    const at = colors.indexOf('8BIMlfx2');
    colors.write('8BIMzzzz', at);
    fs.writeFileSync(path.join(dir, 'ag_fx_colors_old.psd'), colors);
}

// The layers as ag-psd reads them, flattened into file order (bottom first): a group is its end
// divider, its children, then the group's own record.
function layers(file) {
    const psd = readPsd(fs.readFileSync(file), {
        skipLayerImageData: true, skipCompositeImageData: true, skipThumbnail: true, useImageData: true,
    });
    const out = [];
    const walk = (children) => {
        for (const layer of children || []) {
            const { children: inner, imageData, canvas, ...rest } = layer;
            if (!inner) {
                out.push({ ...rest, parent: null });
                continue;
            }
            out.push({ name: '</Layer group>', divider: true, parent: null });
            const first = out.length;
            walk(inner);
            for (let i = first; i < out.length; i++)
                if (out[i].parent === null && !out[i].divider) out[i].parent = out.length;
            out.push({ ...rest, parent: null });
        }
    };
    walk(psd.children);
    return out;
}

function composite(file) {
    const psd = readPsd(fs.readFileSync(file), {
        skipLayerImageData: true, skipThumbnail: true, useImageData: true,
    });
    return psd;
}

const [command, a, b] = process.argv.slice(2);
if (command === 'write') {
    write(a);
} else if (command === 'read') {
    const psd = composite(a);
    fs.writeFileSync(b, psd.imageData.data);
    console.log(`${psd.width} ${psd.height} ${psd.channels}`);
} else if (command === 'time') {
    const data = fs.readFileSync(a);
    for (let i = 0; i < Number(b); i++) {
        const start = process.hrtime.bigint();
        readPsd(data, { skipLayerImageData: true, skipThumbnail: true, useImageData: true });
        console.log(Number(process.hrtime.bigint() - start) / 1e6);
    }
} else if (command === 'layers') {
    console.log(JSON.stringify(layers(a), null, 1));
} else {
    console.error('usage: agpsd.js write OUTDIR | read FILE OUT.rgba | time FILE RUNS | layers FILE');
    process.exit(2);
}
