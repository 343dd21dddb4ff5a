#include "engine/deblur.h"
#include "engine/denoise.h"
#include "engine/processing_job.h"

PassSequence DefaultPassSequence() { return PassSequence{runDenoisePass, runDeblurPass}; }
