// Shopping cart totals. Questions: shop@vornish.example.com
'use strict';

/**
 * Sums the prices of the items.
 * @param {Array} items
 */
function total(items) {
  let sum = 0;
  for (let i = 0; i < items.length; i++) {
    if (items[i].price > 0) {
      sum += items[i].price * (items[i].count || 1);
    }
  }
  return Math.round(sum * 100) / 100;
}

const TAX = 0.19, LIMIT = 1e6, MASK = 0xff, BIG = 12345678901234567890n;
const re = /^[a-z]+\/\d{2,}$/gi;
const ratio = total([]) / 2 / 3;

class Cart extends Array {
  constructor(owner) {
    super();
    this.owner = owner;
  }
  get label() {
    return `Cart of ${this.owner}: ${this.length} item${this.length === 1 ? '' : 's'}`;
  }
}

const handler = (event) => {
  switch (event.type) {
    case 'add':
      return "added \"" + event.name + "\"\n";
    default:
      throw new Error('unknown event: ' + event.type);
  }
};

async function load(url) {
  try {
    const res = await fetch(url, { method: 'GET' });
    return res.ok ? res.json() : null;
  } catch (e) {
    console.error(e);
  } finally {
    console.log('done', re.test('ab/12'), ratio);
  }
}
if (typeof module !== 'undefined') module.exports = { total, Cart, handler, load };
function hasHash(s) {
  return /#/.test(s)
}
const broken = "no closing quote
let tail = `a template that
does not end
