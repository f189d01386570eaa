// Names, paths and values come from the desktop: they go into the page as text, never as markup.
export function element(tag, {className, text, attributes} = {}, children = []) {
    const node = document.createElement(tag);
    if (className)
        node.className = className;
    if (text !== undefined)
        node.textContent = text;
    for (const [name, value] of Object.entries(attributes || {}))
        node.setAttribute(name, value);
    node.append(...children);
    return node;
}

export function byId(id) {
    return document.getElementById(id);
}

export function show(node, shown) {
    node.hidden = !shown;
}

// Press-and-act buttons all over the page: one listener per container, keyed by a data attribute.
export function onButton(container, attribute, act) {
    container.addEventListener('click', (event) => {
        const button = event.target.closest(`button[${attribute}]`);
        if (button && container.contains(button))
            act(button.getAttribute(attribute), button);
    });
}
