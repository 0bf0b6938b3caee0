# Strings and dictionaries: words counted, texts built, split and joined, keys looked up, plain and untyped.
WORDS = ('alpha beta gamma delta epsilon zeta eta theta iota kappa lambda mu nu xi omicron pi rho sigma tau upsilon '
         'phi chi psi omega').split()


def text(seed, count):
    words, state = [], seed
    for _ in range(count):
        state = (state * 1103515245 + 12345) % 2147483648
        words.append(WORDS[state % len(WORDS)] + ('' if state % 7 else str(state % 100)))
    return ' '.join(words)


def frequencies(line):
    counts = {}
    for word in line.split():
        key = word.strip('0123456789').capitalize()
        counts[key] = counts.get(key, 0) + 1
    return counts


def pairs(line):
    seen = {}
    words = line.split()
    for first, second in zip(words, words[1:]):
        key = first[:3] + '-' + second[-3:]
        if key in seen:
            seen[key].append(len(first) + len(second))
        else:
            seen[key] = [len(first) + len(second)]
    return seen


def render(counts):
    lines = []
    for key in sorted(counts, key=lambda k: (-counts[k], k)):
        lines.append('%-10s %6d %s' % (key, counts[key], key.upper()[::-1]))
    return '\n'.join(lines)


total, longest, digest = {}, 0, 0
for seed in range(64):
    line = text(seed, 25000)
    for key, count in frequencies(line).items():
        total[key] = total.get(key, 0) + count
    grouped = pairs(line)
    longest = max(longest, max(len(v) for v in grouped.values()))
    digest = (digest * 31 + sum(ord(c) for c in line[:2000].replace(' ', '').lower())) % 1000000007
print(render(total))
print(longest, digest)
