// The two transfer curves of high dynamic range pictures (BT.2100): PQ (SMPTE ST 2084, absolute
// light up to 10000 cd/m²) and HLG (hybrid log-gamma, relative light), brought to an ordinary
// display by one simple operator:
// - PQ: the signal's light in cd/m²; HLG: the signal's scene light through the OOTF of a
//   1000 cd/m² display (its gamma 1.2, applied to each channel; exact for greys), in cd/m².
// - Divided by 203 cd/m², the light of diffuse white in both (BT.2408): 1 is the display's white.
// - Up to 0.8 that light is kept as it is; above, a Reinhard shoulder with the same slope at 0.8
//   brings the curve's brightest light (10000 cd/m² for PQ, 1000 for HLG) to exactly 1, so that
//   highlights keep their order instead of clipping. Diffuse white comes out at 0.9.
// Each channel is mapped alone: simple and monotonic, at the cost of slightly lighter saturated
// highlights than a mapping of luminance would give.
#pragma once

namespace vistrel {

// A signal from 0 to 1 as display light from 0 to 1 (1: the display's white).
double displayLightOfPq(double signal);
double displayLightOfHlg(double signal);

} // namespace vistrel
