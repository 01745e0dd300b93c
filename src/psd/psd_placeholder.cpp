// The PSD reader lands here.
