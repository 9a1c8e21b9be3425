// Named regions and domain texts.
