# Writes include/rastrel3_dispids.h from members.txt: the DISPIDs fixed by the interface keep
# their numbers; every other member takes the next free number from 1 upward, in list order.
import re, sys, os
here = os.path.dirname(os.path.abspath(__file__))
rows, given = [], set()
for line in open(os.path.join(here, 'members.txt')):
    line = line.strip()
    if not line: continue
    if line.startswith('#'): rows.append(('#', line[1:].strip())); continue
    parts = line.split()
    num = int(parts[1], 0) if len(parts) > 1 else None
    if num is not None: given.add(num)
    rows.append((parts[0], num))
nxt = 1
out = []
for name, num in rows:
    if name == '#': out.append('\n  // ' + num); continue
    if num is None:
        while nxt in given: nxt += 1
        num = nxt; given.add(nxt)
    out.append('  %s = %s,' % (name, ('-%d' % -num) if num < 0 else '0x%x' % num))
hdr = '''// DISPIDs of every member of IRastrel and of the events of IRastrelEvents.
// Generated once by imaging/tools/gen_dispids.py from imaging/tools/members.txt; the numbers are
// fixed: members whose numbers the interface always had keep them, every other member took the
// next free number from 1 upward in family order. Never renumber a member.
#pragma once

#include <cstdint>

namespace rastrel::dispid {

enum : int32_t {''' + '\n'.join(out) + '''
};

}  // namespace rastrel::dispid

namespace rastrel::eventid {

enum : int32_t {
  Click = -600,
  DblClick = -601,
  MouseDown = -605,
  MouseMove = -606,
  MouseUp = -607,
  Notify = 1,
  Progress = 2,
  AsyncProgress = 3,
};

}  // namespace rastrel::eventid
'''
open(os.path.join(here, '..', 'include', 'rastrel3_dispids.h'), 'w').write(hdr)
