// The pictures in datasets/README.md, drawn with d3-geo's path generator on a Skia canvas
// (@napi-rs/canvas): the outlines with the checked towns marked right or wrong, and one border
// river before and after its gap was filled. Outlines are drawn flat (longitude across, latitude
// up), filled even-odd, as the library reads them.

import { writeFileSync } from "node:fs";
import { createCanvas } from "@napi-rs/canvas";
import { geoIdentity, geoPath } from "d3-geo";

const FONT = "DejaVu Sans";
const LAND = ["#e8dcc0", "#d6e6c3", "#f2d1c4", "#d3d7ec", "#efe3a8", "#cfe3e6"];
const SEA = "#dcebf7";

// features: [{ code, polys: [[[x, y], ...], ...] }] in degrees.
function geometry(features) {
  return { type: "FeatureCollection", features: features.filter((f) => f.polys).map((f) => ({ type: "Feature", properties: { code: f.code }, geometry: { type: "MultiPolygon", coordinates: f.polys } })) };
}

// Colours so that neighbours differ: each country takes the first colour none of the countries
// met so far inside its box uses (a greedy colouring, good enough to tell borders apart).
function colours(features) {
  const boxes = features.map((f) => {
    let x0 = Infinity, y0 = Infinity, x1 = -Infinity, y1 = -Infinity;
    for (const p of f.polys || []) for (const [x, y] of p[0]) [x0, y0, x1, y1] = [Math.min(x0, x), Math.min(y0, y), Math.max(x1, x), Math.max(y1, y)];
    return [x0, y0, x1, y1];
  });
  const byCode = new Map();
  features.forEach((f, i) => {
    if (byCode.has(f.code)) return;
    const used = new Set();
    features.forEach((g, j) => {
      const a = boxes[i], b = boxes[j];
      if (byCode.has(g.code) && a[0] <= b[2] && b[0] <= a[2] && a[1] <= b[3] && b[1] <= a[3]) used.add(byCode.get(g.code));
    });
    byCode.set(f.code, LAND.find((c) => !used.has(c)) ?? LAND[i % LAND.length]);
  });
  return byCode;
}

function drawOutlines(ctx, path, features, fill, stroke, width) {
  for (const f of features) {
    if (!f.polys) continue;
    ctx.beginPath();
    path({ type: "MultiPolygon", coordinates: f.polys });
    ctx.fillStyle = fill.get(f.code);
    ctx.fill("evenodd");
    ctx.strokeStyle = stroke;
    ctx.lineWidth = width;
    ctx.stroke();
  }
}

// The world with every checked town: a green dot when it answers its own country and an airport
// of the right kind, a red ring when not.
export function drawChecked(file, features, towns, title) {
  const W = 2400, H = 1250, top = 60;
  const canvas = createCanvas(W, H), ctx = canvas.getContext("2d");
  ctx.fillStyle = SEA;
  ctx.fillRect(0, 0, W, H);
  const world = { type: "Polygon", coordinates: [[[-180, -60], [180, -60], [180, 84], [-180, 84], [-180, -60]]] };
  const projection = geoIdentity().reflectY(true).fitExtent([[10, top], [W - 10, H - 10]], world);
  const path = geoPath(projection, ctx);
  drawOutlines(ctx, path, features, colours(features), "#6b6b6b", 0.5);
  const [good, bad] = [towns.filter((t) => t.ok), towns.filter((t) => !t.ok)];
  ctx.fillStyle = "#1a7f37";
  for (const t of good) {
    const [x, y] = projection([t.lng, t.lat]);
    ctx.beginPath();
    ctx.arc(x, y, 1.8, 0, 2 * Math.PI);
    ctx.fill();
  }
  ctx.strokeStyle = "#d1242f";
  ctx.lineWidth = 2;
  for (const t of bad) {
    const [x, y] = projection([t.lng, t.lat]);
    ctx.beginPath();
    ctx.arc(x, y, 7, 0, 2 * Math.PI);
    ctx.stroke();
  }
  ctx.fillStyle = "#222";
  ctx.font = `28px ${FONT}`;
  ctx.fillText(title, 14, 38);
  ctx.font = `22px ${FONT}`;
  const legend = `${good.length} right (green)   ${bad.length} wrong (red rings)`;
  ctx.fillText(legend, W - 14 - ctx.measureText(legend).width, 38);
  writeFileSync(file, canvas.toBuffer("image/png"));
}

// One region twice, side by side: before and after, with marked places.
export function drawBeforeAfter(file, box, before, after, marks, title) {
  const P = 760, gap = 20, top = 70, W = 2 * P + 3 * gap, H = top + P + gap;
  const canvas = createCanvas(W, H), ctx = canvas.getContext("2d");
  ctx.fillStyle = "#ffffff";
  ctx.fillRect(0, 0, W, H);
  const [x0, y0, x1, y1] = box;
  const frame = { type: "Polygon", coordinates: [[[x0, y0], [x1, y0], [x1, y1], [x0, y1], [x0, y0]]] };
  const fill = colours([...before, ...after]);
  [[before, "before: the source, rivers cut out"], [after, "after: the gap split along its middle line"]].forEach(([features, label], i) => {
    const left = gap + i * (P + gap);
    ctx.save();
    ctx.beginPath();
    ctx.rect(left, top, P, P);
    ctx.clip();
    ctx.fillStyle = SEA;
    ctx.fillRect(left, top, P, P);
    const projection = geoIdentity().reflectY(true).fitExtent([[left, top], [left + P, top + P]], frame);
    const path = geoPath(projection, ctx);
    drawOutlines(ctx, path, features, fill, "#444", 1.2);
    for (const m of marks) {
      const [x, y] = projection([m.lng, m.lat]);
      ctx.fillStyle = "#d1242f";
      ctx.beginPath();
      ctx.arc(x, y, 6, 0, 2 * Math.PI);
      ctx.fill();
      ctx.fillStyle = "#222";
      ctx.font = `20px ${FONT}`;
      ctx.fillText(m.name, x + 10, y - 8);
    }
    for (const f of features) {
      if (!f.polys || !f.label) continue;
      const [x, y] = projection(f.label);
      ctx.fillStyle = "#222";
      ctx.font = `bold 26px ${FONT}`;
      ctx.fillText(f.code, x, y);
    }
    ctx.restore();
    ctx.fillStyle = "#222";
    ctx.font = `22px ${FONT}`;
    ctx.fillText(label, left, top - 12);
  });
  ctx.font = `26px ${FONT}`;
  ctx.fillText(title, gap, 32);
  writeFileSync(file, canvas.toBuffer("image/png"));
}
