# Numbers: an n-body simulation in floats and a sieve in integers, plain and untyped.
import math


def bodies():
    pi, days = math.pi, 365.24
    solar_mass = 4 * pi * pi
    return [
        [0.0, 0.0, 0.0, 0.0, 0.0, 0.0, solar_mass],
        [4.84143144246472090e+00, -1.16032004402742839e+00, -1.03622044471123109e-01, 1.66007664274403694e-03 * days,
         7.69901118419740425e-03 * days, -6.90460016972063023e-05 * days, 9.54791938424326609e-04 * solar_mass],
        [8.34336671824457987e+00, 4.12479856412430479e+00, -4.03523417114321381e-01, -2.76742510726862411e-03 * days,
         4.99852801234917238e-03 * days, 2.30417297573763929e-05 * days, 2.85885980666130812e-04 * solar_mass],
        [1.28943695621391310e+01, -1.51111514016986312e+01, -2.23307578892655734e-01, 2.96460137564761618e-03 * days,
         2.37847173959480950e-03 * days, -2.96589568540237556e-05 * days, 4.36624404335156298e-05 * solar_mass],
        [1.53796971148509165e+01, -2.59193146099879641e+01, 1.79258772950371181e-01, 2.68067772490389322e-03 * days,
         1.62824170038242295e-03 * days, -9.51592254519715870e-05 * days, 5.15138902046611451e-05 * solar_mass],
    ]


def energy(system):
    total = 0.0
    for i, a in enumerate(system):
        total += 0.5 * a[6] * (a[3] * a[3] + a[4] * a[4] + a[5] * a[5])
        for b in system[i + 1:]:
            dx, dy, dz = a[0] - b[0], a[1] - b[1], a[2] - b[2]
            total -= a[6] * b[6] / math.sqrt(dx * dx + dy * dy + dz * dz)
    return total


def advance(system, steps, dt):
    pairs = [(system[i], system[j]) for i in range(len(system)) for j in range(i + 1, len(system))]
    for _ in range(steps):
        for a, b in pairs:
            dx, dy, dz = a[0] - b[0], a[1] - b[1], a[2] - b[2]
            distance = dx * dx + dy * dy + dz * dz
            magnitude = dt / (distance * math.sqrt(distance))
            am, bm = a[6] * magnitude, b[6] * magnitude
            a[3] -= dx * bm
            a[4] -= dy * bm
            a[5] -= dz * bm
            b[3] += dx * am
            b[4] += dy * am
            b[5] += dz * am
        for body in system:
            body[0] += dt * body[3]
            body[1] += dt * body[4]
            body[2] += dt * body[5]


def primes(limit):
    sieve = [True] * limit
    sieve[0] = sieve[1] = False
    for n in range(2, int(limit ** 0.5) + 1):
        if sieve[n]:
            for multiple in range(n * n, limit, n):
                sieve[multiple] = False
    return [n for n in range(limit) if sieve[n]]


system = bodies()
print('%.9f' % energy(system))
advance(system, 250000, 0.01)
print('%.9f' % energy(system))
found = primes(3000000)
print(len(found), sum(found) % 1000003, found[-1])
