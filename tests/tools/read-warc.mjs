// Reads a web archive with the standard reader (warcio) and prints what the
// tests check, one tab-separated line per record:
//   type uri status block payload content offset length
// block and payload are "ok", "bad" or "-" (no digest to check); payload is
// checked against the body with its chunked framing taken off, as the
// format defines it; content is the sha1 (hex) of what the reader hands a
// replay tool: the body with chunking and content coding undone.
// With "cdxj" first, prints the reader's own CDXJ index of the file instead.
import fs from "node:fs";
import path from "node:path";
import crypto from "node:crypto";
import { AsyncIterReader, CDXIndexer, WARCParser } from "warcio";

function sha1Base32(bytes) {
  const alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZ234567";
  const digest = crypto.createHash("sha1").update(bytes).digest();
  let bits = 0;
  let value = 0;
  let out = "";
  for (const byte of digest) {
    value = (value << 8) | byte;
    bits += 8;
    while (bits >= 5) {
      out += alphabet[(value >>> (bits - 5)) & 31];
      bits -= 5;
    }
  }
  if (bits > 0) out += alphabet[(value << (5 - bits)) & 31];
  return "sha1:" + out;
}

function verdict(expected, bytes) {
  if (!expected) return "-";
  return expected === sha1Base32(bytes) ? "ok" : "bad";
}

async function blockVerdicts(file) {
  const verdicts = [];
  const parser = new WARCParser(fs.createReadStream(file), { parseHttp: false });
  for await (const record of parser) {
    const block = await record.readFully(false);
    verdicts.push({
      block: verdict(record.warcBlockDigest, block),
      offset: parser.offset,
      length: parser.recordLength,
    });
  }
  return verdicts;
}

async function list(file) {
  const blocks = await blockVerdicts(file);
  const parser = new WARCParser(fs.createReadStream(file));
  let index = 0;
  for await (const record of parser) {
    const body = await record.readFully(false);
    let payload = "-";
    if (record.httpHeaders && record.warcType !== "revisit") {
      const chunked = record.httpHeaders.headers.get("Transfer-Encoding") === "chunked";
      const entity = chunked ? await new AsyncIterReader([body], null, true).readFully() : body;
      payload = verdict(record.warcPayloadDigest, entity);
    }
    const content = await record.readFully(true);
    const status = record.httpHeaders?.statusCode ?? "-";
    const { block, offset, length } = blocks[index++];
    const hex = crypto.createHash("sha1").update(content).digest("hex");
    console.log(
      [record.warcType, record.warcTargetURI ?? "-", status, block, payload, hex, offset, length].join("\t"),
    );
  }
}

async function cdxj(file) {
  const indexer = new CDXIndexer({ format: "cdxj" });
  const files = [{ filename: path.basename(file), reader: fs.createReadStream(file) }];
  for await (const entry of indexer.iterIndex(files)) process.stdout.write(indexer.serialize(entry));
}

const args = process.argv.slice(2);
try {
  if (args[0] === "cdxj") await cdxj(args[1]);
  else await list(args[0]);
} catch (error) {
  console.error("read-warc: " + error.message);
  process.exit(1);
}
