// ag-psd, an independent PSD library, as a black box for the PSD reader's tests and benchmark.
//
//   node agpsd.js write OUTDIR            writes PSD files and the RGBA bytes of their composites
//   node agpsd.js read FILE OUT.rgba      writes the composite ag-psd reads as RGBA bytes
//   node agpsd.js time FILE RUNS          composite-only read, prints each run's milliseconds
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
} else {
    console.error('usage: agpsd.js write OUTDIR | read FILE OUT.rgba | time FILE RUNS');
    process.exit(2);
}
