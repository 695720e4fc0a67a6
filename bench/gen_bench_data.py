#!/usr/bin/env python3
"""Writes a benchmark data set in the layout cpgblocks reads.

    gen_bench_data.py <io|cor|wide|example> <directory>

The directory receives samples.txt, cov/chr7/<id>.csv (one per sample),
sel/chrom7.csv and an empty out/chr7/, so that from inside it

    cpgblocks cov/ samples.txt yes sel/chrom out/ 0.5 0.3 2 7

runs. The sites are cut into generated blocks; within a block every sample's
value is the site's base level plus that sample's latent factor for the block
plus independent noise, so two sites of one block correlate at about
factor^2 / (factor^2 + noise^2) and sites of different blocks not at all.
Everything is drawn from a seeded generator: the same workload always gives
the same bytes.
"""
import os
import random
import shutil
import sys

# name: samples, sites, block length range, within-block correlation range, seed
WORKLOADS = {
    # Short blocks of mixed strength: weak ones fall apart into one-site
    # blocks, strong ones hold; reading and parsing dominate.
    "io": dict(samples=200, sites=50_000, length=(4, 10), rho=(0.35, 0.95), seed=1),
    # Long, strongly correlated blocks: the mean correlation dominates.
    "cor": dict(samples=300, sites=6_000, length=(200, 600), rho=(0.85, 0.95), seed=2),
    # Many samples, few sites: 3,000 open files, per-site overhead dominates.
    "wide": dict(samples=1_500, sites=2_000, length=(10, 30), rho=(0.6, 0.9), seed=3),
    # The bundled example (example/data): small enough to read by eye.
    "example": dict(samples=12, sites=400, length=(3, 25), rho=(0.3, 0.95), seed=4),
}

FACTOR_SD = 0.08        # spread of the per-sample block factor
SELECTED_SHARE = 0.9    # share of sites flagged 1 in the selection file
CHROMOSOME = 7


def plan_sites(w, rng):
    """Per site: coordinate, selection flag, base level, block index, noise sd."""
    coords, flags, base, block_of, noise = [], [], [], [], []
    coord = 10_000
    block = 0
    while len(coords) < w["sites"]:
        length = rng.randint(*w["length"])
        rho = rng.uniform(*w["rho"])
        sd = FACTOR_SD * ((1.0 - rho) / rho) ** 0.5
        for _ in range(min(length, w["sites"] - len(coords))):
            coord += rng.randint(2, 120)
            coords.append(coord)
            flags.append(1 if rng.random() < SELECTED_SHARE else 0)
            base.append(rng.uniform(0.3, 0.7))
            block_of.append(block)
            noise.append(sd)
        block += 1
    return coords, flags, base, block_of, noise, block


def write_data(name, root):
    w = WORKLOADS[name]
    rng = random.Random(w["seed"])
    coords, flags, base, block_of, noise, blocks = plan_sites(w, rng)
    ids = ["S%04d" % (k + 1) for k in range(w["samples"])]

    os.makedirs(os.path.join(root, "cov", "chr%d" % CHROMOSOME))
    os.makedirs(os.path.join(root, "sel"))
    os.makedirs(os.path.join(root, "out", "chr%d" % CHROMOSOME))
    with open(os.path.join(root, "samples.txt"), "w", newline="\n") as f:
        f.write("".join(i + "\n" for i in ids))
    with open(os.path.join(root, "sel", "chrom%d.csv" % CHROMOSOME), "w", newline="\n") as f:
        f.write("coord,selected\n")
        f.write("".join("%d,%d\n" % cf for cf in zip(coords, flags)))

    gauss = rng.gauss
    sites = range(len(coords))
    for sample_id in ids:
        factor = [gauss(0.0, FACTOR_SD) for _ in range(blocks)]
        lines = ["coord,value\n"]
        for i in sites:
            v = base[i] + factor[block_of[i]] + gauss(0.0, noise[i])
            v = 0.0 if v < 0.0 else 1.0 if v > 1.0 else v
            lines.append("%d,%.4f\n" % (coords[i], v))
        with open(os.path.join(root, "cov", "chr%d" % CHROMOSOME, sample_id + ".csv"), "w", newline="\n") as f:
            f.write("".join(lines))


def main():
    if len(sys.argv) != 3 or sys.argv[1] not in WORKLOADS:
        sys.stdout.write("usage: gen_bench_data.py <%s> <directory>\n" % "|".join(WORKLOADS))
        return 2
    name, root = sys.argv[1], sys.argv[2]
    # Built aside and moved into place, so an interrupted run never leaves a
    # data set that looks complete.
    tmp = root + ".tmp"
    shutil.rmtree(tmp, ignore_errors=True)
    write_data(name, tmp)
    shutil.rmtree(root, ignore_errors=True)
    os.rename(tmp, root)
    return 0


if __name__ == "__main__":
    sys.exit(main())
