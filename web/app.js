// Shows the names of the shares this visitor may open until the full client arrives.
"use strict";

async function showShares() {
    const list = document.getElementById("shares");
    const reply = await fetch("/api/shares", { credentials: "same-origin" });
    if (!reply.ok)
        return;
    const data = await reply.json();
    for (const share of data.shares) {
        const item = document.createElement("li");
        item.textContent = share.locked ? share.name + " (password)" : share.name;
        list.appendChild(item);
    }
}

showShares();
