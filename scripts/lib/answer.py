#!/usr/bin/env python3
"""Reads one `orv-cli call` answer line (typed JSON) on stdin and prints it
for people, or picks values out of it for scripts/demo.

  answer.py summary          a short readable summary of the answer
  answer.py pick free|paid   "ID PRICE" of the first free / paid game in "rs"
  answer.py pick icon        the "ico" URL of the first game in "rs"
  answer.py pick first-id    the "id" of the first entry in "rs"
"""
import json
import sys


def plain(value):
    # Typed JSON writes some kinds as one-key objects ({"$double": 3.5}).
    if isinstance(value, dict) and len(value) == 1 and next(iter(value)).startswith("$"):
        return next(iter(value.values()))
    return value


def game_line(g):
    price = plain(g.get("pri", 0))
    price_text = "free" if price == 0 else f"{price} đ"
    rating = plain(g.get("rat", 0))
    return f'#{g.get("id")} {g.get("tl")} — {g.get("sms", "")}, {price_text}, ★{float(rating):.1f}, {g.get("dlc")} downloads'


def summary(content, limit=3):
    lines = []
    if "ec" in content:
        lines.append(f'ec = {content["ec"]}   em = "{content.get("em", "")}"')
    elif "em" in content:
        lines.append(f'em = "{content["em"]}"')
    rs = content.get("rs")
    if isinstance(rs, str):
        lines.append(f'rs = "{rs}"')
    elif isinstance(rs, list):
        lines.append(f"rs: {len(rs)} entries")
        for entry in rs[:limit]:
            if "lt" in entry:  # a home section
                lines.append(f'  section "{entry.get("tl")}" (command {entry.get("id")}): {len(entry["lt"])} games, '
                             f'first: {entry["lt"][0].get("tl") if entry["lt"] else "-"}')
            elif "pri" in entry:
                lines.append("  " + game_line(entry))
            else:  # a category
                lines.append(f'  category #{entry.get("id")} {entry.get("tl")}  icon {entry.get("ico")}')
        if len(rs) > limit:
            lines.append(f"  ... and {len(rs) - limit} more")
    if "gll" in content:
        pictures = [p for p in content["gll"].split(",") if p]
        lines.append(f"gll: {len(pictures)} pictures, first {pictures[0] if pictures else '-'}")
    if "des" in content:
        des = content["des"]
        lines.append(f'des: {len(des)} characters of HTML: {des[:90]}{"..." if len(des) > 90 else ""}')
    return "\n".join(lines) if lines else json.dumps(content, ensure_ascii=False)


def main():
    message = json.loads(sys.stdin.readline())
    content = message.get("content", {})
    if sys.argv[1:] == ["summary"]:
        print(summary(content))
    elif sys.argv[1:2] == ["pick"]:
        what = sys.argv[2]
        rs = content.get("rs") or []
        if what in ("free", "paid"):
            for g in rs:
                price = plain(g.get("pri", 0))
                if (price == 0) == (what == "free"):
                    print(g["id"], price)
                    return
            sys.exit(f"no {what} game in the answer")
        elif what == "icon":
            print(rs[0]["ico"])
        elif what == "first-id":
            print(rs[0]["id"])
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
