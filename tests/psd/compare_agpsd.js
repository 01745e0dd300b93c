// Compares the document model vistrel-psd prints with ag-psd's reading of the same file: every
// layer's name, rectangle, blend mode, opacity, visibility and group parent, and the adjustment,
// fill and effect settings that both read.
//
//   node compare_agpsd.js VISTREL_PSD AGPSD_JS FILE...
// Prints one line per difference and "N passed, N failed"; exit status 1 on any difference.
'use strict';
const { execFileSync } = require('child_process');
const path = require('path');

const [tool, agpsd, ...files] = process.argv.slice(2);
let passed = 0, failed = 0;

function check(file, what, ours, theirs) {
    const same = typeof theirs === 'number' && typeof ours === 'number'
        ? Math.abs(ours - theirs) < 1e-6 : JSON.stringify(ours) === JSON.stringify(theirs);
    if (same) {
        passed++;
    } else {
        failed++;
        console.log(`${path.basename(file)}: ${what}: vistrel-psd ${JSON.stringify(ours)}, ag-psd ${JSON.stringify(theirs)}`);
    }
}

const byte = (fraction) => Math.round(fraction * 255);
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

function compareEffects(file, name, fx, e, old) {
    const c = (what, o, t) => check(file, `${name}: ${old ? 'lrFX' : 'lfx2'} ${what}`, o, t);
    const first = (v) => (Array.isArray(v) ? v[0] : v);
    const ds = first(e.dropShadow), is = first(e.innerShadow), og = first(e.outerGlow);
    const ig = first(e.innerGlow), bv = first(e.bevel), so = first(e.solidFill);
    c('drop shadow', [fx.dropShadow.size, fx.dropShadow.distance, fx.dropShadow.angle, fx.dropShadow.color,
        fx.dropShadow.blendMode, fx.dropShadow.opacity, fx.dropShadow.enabled],
        [ds.size.value, ds.distance.value, ds.angle, hex(ds.color), ds.blendMode, byte(ds.opacity), ds.enabled]);
    c('inner shadow', [fx.innerShadow.size, fx.innerShadow.color, fx.innerShadow.blendMode, fx.innerShadow.opacity],
        [is.size.value, hex(is.color), is.blendMode, byte(is.opacity)]);
    c('outer glow', [fx.outerGlow.size, fx.outerGlow.color, fx.outerGlow.opacity, fx.outerGlow.enabled],
        [og.size.value, hex(og.color), byte(og.opacity), og.enabled]);
    c('inner glow', [fx.innerGlow.size, fx.innerGlow.color, fx.innerGlow.opacity],
        [ig.size.value, hex(ig.color), byte(ig.opacity)]);
    c('bevel', [fx.bevel.angle, fx.bevel.highlightColor, fx.bevel.shadowColor, fx.bevel.highlightOpacity,
        fx.bevel.shadowBlendMode, fx.bevel.direction],
        [bv.angle, hex(bv.highlightColor), hex(bv.shadowColor), byte(bv.highlightOpacity), bv.shadowBlendMode,
            bv.direction === 'down' ? 1 : 0]);
    c('colour overlay', [fx.colorOverlay.color, fx.colorOverlay.blendMode, fx.colorOverlay.opacity],
        [hex(so.color), so.blendMode, byte(so.opacity)]);
    if (old) return; // ag-psd writes the old form's inner glow without its invert flag
    c('inner glow source', fx.innerGlow.source, ig.source === 'center' ? 0 : 1);
    c('drop shadow extras', [fx.dropShadow.choke, fx.dropShadow.useGlobalAngle, fx.dropShadow.layerKnocksOut,
        fx.dropShadow.antiAliased], [ds.choke.value, ds.useGlobalLight, ds.layerConceals, ds.antialiased]);
    c('bevel extras', [fx.bevel.style, fx.bevel.size, fx.bevel.soften, fx.bevel.altitude],
        [['outer bevel', 'inner bevel', 'emboss', 'pillow emboss', 'stroke emboss'].indexOf(bv.style),
            bv.size.value, bv.soften.value, bv.altitude]);
    const sa = first(e.satin), go = first(e.gradientOverlay), po = first(e.patternOverlay), st = first(e.stroke);
    c('satin', [fx.satin.size, fx.satin.distance, fx.satin.angle, fx.satin.invert, fx.satin.opacity],
        [sa.size.value, sa.distance.value, sa.angle, sa.invert, byte(sa.opacity)]);
    compareGradient(file, `${name}: gradient overlay`, fx.gradientOverlay.gradient, go.gradient);
    c('gradient overlay', [fx.gradientOverlay.type, fx.gradientOverlay.angle, fx.gradientOverlay.scale,
        fx.gradientOverlay.reverse, fx.gradientOverlay.align, fx.gradientOverlay.offset],
        [1, go.angle, Math.round(go.scale * 100), go.reverse, go.align,
            [Math.round(go.offset.x * 100), Math.round(go.offset.y * 100)]]);
    c('pattern overlay', [fx.patternOverlay.pattern.name, fx.patternOverlay.pattern.id, fx.patternOverlay.scale],
        [po.pattern.name, po.pattern.id, Math.round(po.scale * 100)]);
    c('stroke', [fx.stroke.size, fx.stroke.position, fx.stroke.paintType, fx.stroke.opacity],
        [st.size.value, 2, 1, byte(st.opacity)]);
    compareGradient(file, `${name}: stroke`, fx.stroke.gradient, st.gradient);
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
            const old = entry(layer, 'effectsOld'), modern = entry(layer, 'effects');
            check(file, `${name}: effect entries`, [!!old, !!modern], [true, true]);
            if (old) compareEffects(file, name, old, ag.effects, true);
            if (modern) compareEffects(file, name, modern, ag.effects, false);
        }
    });
}
console.log(`${passed} passed, ${failed} failed`);
process.exit(failed ? 1 : 0);
