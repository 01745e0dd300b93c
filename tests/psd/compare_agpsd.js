// Compares the document model vistrel-psd prints with ag-psd's reading of the same file: every
// layer's name, rectangle, blend mode, opacity, visibility, group parent and masks, and the
// adjustment, fill and effect settings that both read (colours in their own models, numbers with
// their units).
//
//   node compare_agpsd.js VISTREL_PSD AGPSD_JS FILE...
// Prints one line per difference and "N passed, N failed"; exit status 1 on any difference.
'use strict';
const { execFileSync } = require('child_process');
const path = require('path');

const [tool, agpsd, ...files] = process.argv.slice(2);
let passed = 0, failed = 0;

// Numbers agree within `tolerance`, arrays element by element.
function same(ours, theirs, tolerance) {
    if (typeof theirs === 'number' && typeof ours === 'number') return Math.abs(ours - theirs) <= tolerance;
    if (Array.isArray(ours) && Array.isArray(theirs))
        return ours.length === theirs.length && ours.every((v, i) => same(v, theirs[i], tolerance));
    return JSON.stringify(ours) === JSON.stringify(theirs);
}

function check(file, what, ours, theirs, tolerance = 1e-6) {
    if (same(ours, theirs, tolerance)) {
        passed++;
    } else {
        failed++;
        console.log(`${path.basename(file)}: ${what}: vistrel-psd ${JSON.stringify(ours)}, ag-psd ${JSON.stringify(theirs)}`);
    }
}

const byte = (fraction) => Math.round(fraction * 255);
const unitNames = { Pixels: 'pixels', Points: 'points', Millimeters: 'millimeters', Percent: 'percent' };

// A colour: as "#FFRRGGBB" where ag-psd gives RGB; in its own model where the descriptor form
// gave one (ag-psd's hue is a fraction of a turn).
function compareColor(c, what, ours, model, theirs) {
    if ('r' in theirs) return c(what, ours, hex(theirs));
    if (!model) return; // the old form's colour structures keep no model
    const models = [['hsb', ['h', 's', 'b']], ['cmyk', ['c', 'm', 'y', 'k']], ['lab', ['l', 'a', 'b']], ['gray', ['k']]];
    const [name, keys] = models.find(([, k]) => k.every((key) => key in theirs) && k.length === Object.keys(theirs).length);
    c(`${what} model`, [model.model, ...model.values], [name, ...keys.map((k) => (k === 'h' ? theirs.h * 360 : theirs[k]))]);
}

// A number with its unit: in pixels (or as it is) where ag-psd gives pixels, else as given
// (the old form has no units: there only numbers ag-psd gives in pixels compare).
function compareNumberWithUnit(c, what, fx, name, theirs, tolerance, old) {
    if (theirs === undefined) return;
    if (typeof theirs === 'number') return c(what, fx[name], theirs, tolerance);
    if (theirs.units === 'Pixels') return c(what, fx[name], theirs.value, tolerance);
    if (!old) c(`${what} as given`, fx.units && fx.units[name], [theirs.value, unitNames[theirs.units]], tolerance);
}
const hex = ({ r, g, b }) => '#FF' + [r, g, b].map((v) => Math.round(v).toString(16).toUpperCase().padStart(2, '0')).join('');
const entry = (layer, type) => layer.entries.find((e) => e.type === type);

// Adjustment settings ag-psd gives, as vistrel-psd prints them.
function compareAdjustment(file, name, ours, a) {
    const c = (what, o, t) => check(file, `${name}: ${what}`, o, t);
    switch (a.type) {
    case 'brightness/contrast':
        c('brightness', ours.brightness, a.brightness);
        c('contrast', ours.contrast, a.contrast);
        c('mean', ours.mean, a.meanValue);
        break;
    case 'curves':
        c('channels', ours.curves.map((k) => k.channel), ['rgb', 'red', 'green', 'blue'].map((k, i) => a[k] && i).filter((i) => i !== undefined));
        c('rgb points', ours.curves[0].points, a.rgb.map((p) => [p.input, p.output]));
        break;
    case 'hue/saturation':
        c('master', ours.master, [a.master.hue, a.master.saturation, a.master.lightness]);
        break;
    case 'color balance':
        c('cyan-red', ours.cyanRed, [a.shadows.cyanRed, a.midtones.cyanRed, a.highlights.cyanRed]);
        c('yellow-blue', ours.yellowBlue, [a.shadows.yellowBlue, a.midtones.yellowBlue, a.highlights.yellowBlue]);
        c('preserve luminosity', ours.preserveLuminosity, a.preserveLuminosity);
        break;
    case 'channel mixer':
        c('blue output', ours.outputs[2], [a.blue.red, a.blue.green, a.blue.blue, 0, a.blue.constant]);
        c('monochrome', ours.monochrome, a.monochrome);
        break;
    case 'posterize':
        c('levels', ours.levels, a.levels);
        break;
    case 'threshold':
        c('level', ours.level, a.level);
        break;
    case 'gradient map':
        c('stop colours', ours.gradient.colorStops.map((s) => s.color), a.colorStops.map((s) => hex(s.color)));
        c('stop locations', ours.gradient.colorStops.map((s) => s.location), a.colorStops.map((s) => Math.round(s.location * 4096)));
        c('opacity stops', ours.gradient.opacityStops.map((s) => s.opacity), a.opacityStops.map((s) => byte(s.opacity)));
        break;
    case 'photo filter':
        if ('r' in a.color) c('colour', [ours.version, ours.colorSpace, ...ours.components.slice(0, 3).map((v) => v >> 8)], [2, 0, a.color.r, a.color.g, a.color.b]);
        c('density', ours.density, Math.round(a.density * 100));
        c('preserve luminosity', ours.preserveLuminosity, a.preserveLuminosity);
        break;
    case 'selective color':
        c('method', ours.method, a.mode === 'absolute' ? 1 : 0);
        c('reds', [ours.cyan[1], ours.magenta[1], ours.yellow[1], ours.black[1]].map((v) => (v << 16) >> 16), [a.reds.c, a.reds.m, a.reds.y, a.reds.k]);
        break;
    }
}

function compareGradient(file, what, ours, g) {
    check(file, `${what} colours`, ours.colorStops.map((s) => s.color), g.colorStops.map((s) => hex(s.color)));
    check(file, `${what} midpoints`, ours.colorStops.map((s) => s.midpoint), g.colorStops.map((s) => Math.round(s.midpoint * 100)));
    check(file, `${what} opacities`, ours.opacityStops.map((s) => s.opacity), g.opacityStops.map((s) => Math.round(s.opacity * 100)));
    check(file, `${what} name`, ours.name, g.name);
}

function compareFill(file, name, layer, f) {
    if (f.type === 'color') {
        check(file, `${name}: colour`, entry(layer, 'solidColor').color, hex(f.color));
    } else if (f.type === 'pattern') {
        const p = entry(layer, 'patternFill');
        check(file, `${name}: pattern`, [p.pattern.name, p.pattern.id], [f.name, f.id]);
    } else {
        const g = entry(layer, 'gradientFill');
        compareGradient(file, `${name}: gradient`, g.gradient, f);
        const types = ['linear', 'radial', 'angle', 'reflected', 'diamond'];
        check(file, `${name}: settings`, [types[g.gradientType], g.angle, g.scale, g.reverse, g.dither, g.align],
            [f.style, f.angle, Math.round(f.scale * 100), f.reverse, f.dither, f.align]);
    }
}

// `e` is what ag-psd read: of the descriptor form where a layer has both forms (ag-psd writes
// both from one set of settings), of the old form in the copies without the descriptor form.
// Blend modes ag-psd gives none for it writes differently in the two forms.
function compareEffects(file, name, fx, e, old) {
    // The old form holds 16.16 fixed point.
    const tolerance = old ? 1 / 65536 : 1e-6;
    const c = (what, o, t, tol = tolerance) => {
        if (Array.isArray(t) && t.includes(undefined)) [o, t] = [o.filter((_, i) => t[i] !== undefined), t.filter((v) => v !== undefined)];
        check(file, `${name}: ${old ? 'lrFX' : 'lfx2'} ${what}`, o, t, tol);
    };
    const compareNumber = (cc, what, effect, key, theirs) => compareNumberWithUnit(cc, what, effect, key, theirs, tolerance, old);
    const first = (v) => (Array.isArray(v) ? v[0] : v);
    const color = (what, effect, key, theirs) => compareColor(c, what, effect[key], effect[`${key}Model`], theirs);
    // An effect ag-psd reads that ours lacks is one difference, not a stop.
    const present = (key) => (fx[key] ? true : (c(`${key} present`, false, true), false));
    const ds = first(e.dropShadow), is = first(e.innerShadow), og = first(e.outerGlow);
    const ig = first(e.innerGlow), bv = first(e.bevel), so = first(e.solidFill);
    if (ds && present('dropShadow')) {
        const o = fx.dropShadow;
        compareNumber(c, 'drop shadow size', o, 'size', ds.size);
        compareNumber(c, 'drop shadow distance', o, 'distance', ds.distance);
        compareNumber(c, 'drop shadow angle', o, 'angle', ds.angle);
        color('drop shadow colour', o, 'color', ds.color);
        c('drop shadow', [o.blendMode, o.opacity, o.enabled], [ds.blendMode, byte(ds.opacity), ds.enabled]);
    }
    if (is && present('innerShadow')) {
        const o = fx.innerShadow;
        compareNumber(c, 'inner shadow size', o, 'size', is.size);
        compareNumber(c, 'inner shadow distance', o, 'distance', is.distance);
        compareNumber(c, 'inner shadow angle', o, 'angle', is.angle);
        color('inner shadow colour', o, 'color', is.color);
        c('inner shadow', [o.blendMode, o.opacity], [is.blendMode, byte(is.opacity)]);
    }
    if (og && present('outerGlow')) {
        const o = fx.outerGlow;
        compareNumber(c, 'outer glow size', o, 'size', og.size);
        color('outer glow colour', o, 'color', og.color);
        c('outer glow', [o.blendMode, o.opacity, o.enabled], [og.blendMode, byte(og.opacity), og.enabled]);
    }
    if (ig && present('innerGlow')) {
        const o = fx.innerGlow;
        compareNumber(c, 'inner glow size', o, 'size', ig.size);
        color('inner glow colour', o, 'color', ig.color);
        c('inner glow', [o.blendMode, o.opacity], [ig.blendMode, byte(ig.opacity)]);
    }
    if (bv && present('bevel')) {
        const o = fx.bevel;
        compareNumber(c, 'bevel size', o, 'size', bv.size);
        compareNumber(c, 'bevel angle', o, 'angle', bv.angle);
        color('bevel highlight colour', o, 'highlightColor', bv.highlightColor);
        color('bevel shadow colour', o, 'shadowColor', bv.shadowColor);
        c('bevel', [o.highlightOpacity, o.shadowBlendMode, o.direction],
            [byte(bv.highlightOpacity), bv.shadowBlendMode, bv.direction === 'down' ? 1 : 0]);
        if (old) compareNumber(c, 'bevel strength', o, 'strength', bv.strength);
    }
    if (so && present('colorOverlay')) {
        const o = fx.colorOverlay;
        color('colour overlay colour', o, 'color', so.color);
        c('colour overlay', [o.blendMode, o.opacity], [so.blendMode, byte(so.opacity)]);
    }
    if (old) return; // ag-psd writes the old form's inner glow without its invert flag
    if (ig && fx.innerGlow) c('inner glow source', fx.innerGlow.source, ig.source === 'center' ? 0 : 1);
    if (ds && ds.choke && fx.dropShadow) {
        c('drop shadow extras', [fx.dropShadow.useGlobalAngle, fx.dropShadow.layerKnocksOut, fx.dropShadow.antiAliased],
            [ds.useGlobalLight, ds.layerConceals, ds.antialiased]);
        compareNumber(c, 'drop shadow choke', fx.dropShadow, 'choke', ds.choke);
    }
    if (bv && fx.bevel) {
        c('bevel style', fx.bevel.style, ['outer bevel', 'inner bevel', 'emboss', 'pillow emboss', 'stroke emboss'].indexOf(bv.style));
        compareNumber(c, 'bevel soften', fx.bevel, 'soften', bv.soften);
        compareNumber(c, 'bevel altitude', fx.bevel, 'altitude', bv.altitude);
    }
    const sa = first(e.satin), go = first(e.gradientOverlay), po = first(e.patternOverlay), st = first(e.stroke);
    if (sa && present('satin')) {
        c('satin', [fx.satin.size, fx.satin.distance, fx.satin.angle, fx.satin.invert, fx.satin.opacity],
            [sa.size.value, sa.distance.value, sa.angle, sa.invert, byte(sa.opacity)]);
    }
    if (go && present('gradientOverlay')) {
        compareGradient(file, `${name}: gradient overlay`, fx.gradientOverlay.gradient, go.gradient);
        c('gradient overlay', [fx.gradientOverlay.type, fx.gradientOverlay.angle, fx.gradientOverlay.scale,
            fx.gradientOverlay.reverse, fx.gradientOverlay.align, fx.gradientOverlay.offset],
            [1, go.angle, go.scale * 100, go.reverse, go.align,
                [Math.round(go.offset.x * 100), Math.round(go.offset.y * 100)]]);
    }
    if (po && present('patternOverlay')) {
        c('pattern overlay', [fx.patternOverlay.pattern.name, fx.patternOverlay.pattern.id, fx.patternOverlay.scale],
            [po.pattern.name, po.pattern.id, po.scale * 100]);
    }
    if (st && present('stroke')) {
        c('stroke', [fx.stroke.size, fx.stroke.position, fx.stroke.paintType, fx.stroke.opacity],
            [st.size.value, 2, 1, byte(st.opacity)]);
        compareGradient(file, `${name}: stroke`, fx.stroke.gradient, st.gradient);
    }
}

// A layer's masks: the user mask and, beside a vector mask, the real one.
function compareMasks(file, name, layer, ag) {
    const c = (what, o, t) => check(file, `${name}: ${what}`, o, t);
    const mask = (m) => (m ? [m.rect.top, m.rect.left, m.rect.bottom, m.rect.right, m.defaultColor] : null);
    const theirs = (m) => (m && m.right > m.left ? [m.top, m.left, m.bottom, m.right, m.defaultColor ?? 0] : null);
    c('mask', mask(layer.mask), theirs(ag.mask));
    c('real mask', mask(layer.realMask), theirs(ag.realMask));
    const m = ag.mask || {};
    if (m.userMaskDensity !== undefined) c('mask density', layer.mask.density, byte(m.userMaskDensity));
    if (m.userMaskFeather !== undefined) c('mask feather', layer.mask.feather, m.userMaskFeather);
    if (m.vectorMaskDensity !== undefined) c('vector mask density', layer.mask.vectorDensity, byte(m.vectorMaskDensity));
    if (m.vectorMaskFeather !== undefined) c('vector mask feather', layer.mask.vectorFeather, m.vectorMaskFeather);
}

for (const file of files) {
    const ours = JSON.parse(execFileSync(tool, [file], { encoding: 'utf8' }));
    const theirs = JSON.parse(execFileSync('node', [agpsd, 'layers', file], { encoding: 'utf8' }));
    check(file, 'layer count', ours.layers.length, theirs.length);
    ours.layers.forEach((layer, i) => {
        const ag = theirs[i];
        if (!ag) return;
        const name = layer.unicodeName ?? layer.name;
        check(file, `layer ${i} name`, name, ag.name);
        check(file, `${name}: parent`, layer.parent, ag.parent);
        if (ag.divider) return;
        check(file, `${name}: visible`, layer.visible, !ag.hidden);
        check(file, `${name}: opacity`, layer.opacity, byte(ag.opacity));
        check(file, `${name}: blend mode`, layer.blendMode, ag.blendMode === 'pass through' ? layer.blendMode : ag.blendMode);
        const r = layer.rect;
        check(file, `${name}: rect`, [r.top, r.left, r.bottom, r.right], [ag.top, ag.left, ag.bottom, ag.right]);
        compareMasks(file, name, layer, ag);
        if (ag.adjustment) {
            const a = ours.layers[i].entries[0];
            if (['exposure', 'vibrance'].includes(ag.adjustment.type)) {
                check(file, `${name}: entries`, layer.entries.length, 0);
            } else {
                check(file, `${name}: adjustment flag`, layer.hasAdjustment, true);
                compareAdjustment(file, name, a, ag.adjustment);
            }
        }
        if (ag.vectorFill) compareFill(file, name, layer, ag.vectorFill);
        if (ag.effects) {
            // Both forms, or only the old one in a copy whose descriptor form is hidden.
            const old = entry(layer, 'effectsOld'), modern = entry(layer, 'effects');
            const onlyOld = file.endsWith('_old.psd');
            check(file, `${name}: effect entries`, [!!old, !!modern], [true, !onlyOld]);
            if (old) compareEffects(file, name, old, ag.effects, true);
            if (modern) compareEffects(file, name, modern, ag.effects, false);
        }
    });
}
console.log(`${passed} passed, ${failed} failed`);
process.exit(failed ? 1 : 0);
