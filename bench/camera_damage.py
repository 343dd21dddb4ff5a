#!/usr/bin/python3
"""Camera-like damage for whole photos, deterministic for a given seed.

camera(pixels, sensor, iso, seed) runs a clean sRGB photo through a simple
model of a camera: the sRGB tone curve and colour undone to linear camera
RGB, a Bayer mosaic (RGGB), Poisson-Gaussian sensor noise (shot noise of
the electrons collected, read noise in electrons) at an ISO-like gain,
demosaicing, white balance and colour matrix, the sRGB tone curve, in-camera
smoothing and sharpening as the sensor's profile says, and JPEG with 4:2:0
chroma. It returns (reference, damaged): the reference is the same pipeline
without noise and JPEG, as the mean of many shots would be.

Beside it: luma_chroma (noise shared by the three channels plus a weaker
part per channel, as bench's showcase sample carries), white (Gaussian per
channel) and jpeg (compression alone).
"""
import io

import cv2
import numpy as np
from PIL import Image

# Camera RGB -> linear sRGB of a typical sensor (rows sum to 1, so white
# stays white), and the white-balance gains its raw data needs in daylight.
COLOUR_MATRIX = np.array([[1.72, -0.58, -0.14], [-0.20, 1.50, -0.30], [0.02, -0.52, 1.50]])
WB_GAINS = np.array([2.0, 1.0, 1.6])

# full_well: electrons at the raw clipping point at base ISO; read: read
# noise in electrons; smooth: in-camera noise reduction (luma and chroma
# Gaussian deviations in pixels; 0 for none); sharpen: unsharp-mask amount;
# quality: the JPEG quality the camera saves at.
SENSORS = {
    "large": {"base_iso": 100, "full_well": 40000.0, "read": 3.0, "smooth": (0.0, 1.0), "sharpen": 0.3,
              "quality": 95},
    "phone": {"base_iso": 50, "full_well": 4500.0, "read": 2.0, "smooth": (0.6, 2.0), "sharpen": 0.8,
              "quality": 88},
}
ISO_LEVELS = {"large": (800, 3200, 12800), "phone": (100, 400, 1600)}


def srgb_to_linear(v):
    return np.where(v <= 0.04045, v / 12.92, ((v + 0.055) / 1.055) ** 2.4)


def linear_to_srgb(v):
    v = np.clip(v, 0.0, 1.0)
    return np.where(v <= 0.0031308, v * 12.92, 1.055 * v ** (1 / 2.4) - 0.055)


def to_uint8(v):
    return np.clip(np.rint(v * 255.0), 0, 255).astype(np.uint8)


def jpeg_round_trip(pixels, quality):
    buffer = io.BytesIO()
    Image.fromarray(pixels).save(buffer, format="JPEG", quality=quality, subsampling=2)
    return np.array(Image.open(io.BytesIO(buffer.getvalue())).convert("RGB"))


def develop(raw, profile):
    """Bayer data (RGGB, 0-1 after white balance is undone) to 8-bit sRGB."""
    rgb = cv2.cvtColor(to_uint16(raw), cv2.COLOR_BayerBG2RGB_EA).astype(np.float64) / 65535.0
    rgb = rgb * WB_GAINS
    rgb = rgb @ COLOUR_MATRIX.T
    srgb = linear_to_srgb(rgb)
    if max(profile["smooth"]) > 0:
        ycc = cv2.cvtColor(srgb.astype(np.float32), cv2.COLOR_RGB2YCrCb)
        for channel, sigma in ((0, profile["smooth"][0]), (1, profile["smooth"][1]), (2, profile["smooth"][1])):
            if sigma > 0:
                ycc[..., channel] = cv2.GaussianBlur(ycc[..., channel], (0, 0), sigma)
        srgb = cv2.cvtColor(ycc, cv2.COLOR_YCrCb2RGB).astype(np.float64)
    if profile["sharpen"] > 0:
        blurred = cv2.GaussianBlur(srgb, (0, 0), 1.0)
        srgb = srgb + profile["sharpen"] * (srgb - blurred)
    return to_uint8(np.clip(srgb, 0.0, 1.0))


def to_uint16(v):
    return np.clip(np.rint(v * 65535.0), 0, 65535).astype(np.uint16)


def mosaic(camera_rgb):
    """RGGB Bayer samples of a camera-RGB picture (OpenCV calls it BayerBG)."""
    h, w, _ = camera_rgb.shape
    raw = np.empty((h, w))
    raw[0::2, 0::2] = camera_rgb[0::2, 0::2, 0]
    raw[0::2, 1::2] = camera_rgb[0::2, 1::2, 1]
    raw[1::2, 0::2] = camera_rgb[1::2, 0::2, 1]
    raw[1::2, 1::2] = camera_rgb[1::2, 1::2, 2]
    return raw


def camera(pixels, sensor, iso, seed):
    profile = SENSORS[sensor]
    h, w = (pixels.shape[0] // 2) * 2, (pixels.shape[1] // 2) * 2
    linear = srgb_to_linear(pixels[:h, :w].astype(np.float64) / 255.0)
    camera_rgb = np.clip(linear @ np.linalg.inv(COLOUR_MATRIX).T, 0.0, None) / WB_GAINS
    raw = mosaic(camera_rgb)
    # Electrons at full scale fall as the gain (ISO) rises.
    electrons = profile["full_well"] * profile["base_iso"] / iso
    rng = np.random.default_rng(seed)
    noisy = rng.poisson(raw * electrons) + rng.normal(0.0, profile["read"], raw.shape)
    noisy = noisy / electrons
    reference = develop(raw, profile)
    damaged = jpeg_round_trip(develop(noisy, profile), profile["quality"])
    return reference, damaged


def luma_chroma(pixels, sigma_luma, sigma_chroma, seed):
    rng = np.random.default_rng(seed)
    h, w, _ = pixels.shape
    noise = rng.normal(0.0, sigma_luma, (h, w, 1)) + rng.normal(0.0, sigma_chroma, (h, w, 3))
    return np.clip(np.rint(pixels.astype(np.float64) + noise), 0, 255).astype(np.uint8)


def white(pixels, sigma, seed):
    rng = np.random.default_rng(seed)
    return np.clip(np.rint(pixels.astype(np.float64) + rng.normal(0.0, sigma, pixels.shape)), 0, 255).astype(
        np.uint8)


def jpeg(pixels, quality):
    return jpeg_round_trip(pixels, quality)
